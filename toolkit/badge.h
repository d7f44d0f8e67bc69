#pragma once

namespace tt {

// A key that only T can cut, as SerenityOS has it: a member that takes a Badge<T> may be called
// from T's own members alone, and T sees no more of the class than that member, as it would as
// a friend. The toolkit closes its own calls between forms, controls and the application with
// it, so that neither the controls nor the program can make them.
template <class T>
class Badge {
  public:
    Badge(const Badge&) = delete;
    Badge& operator=(const Badge&) = delete;

  private:
    friend T;
    Badge() = default;
};

}  // namespace tt

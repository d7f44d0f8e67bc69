// taktomat-report: totals, export, a forecast and a chart from the program's log.
#include <ctime>
#include <iostream>

#include "tools/report/report_cli.h"

namespace {

tt::DateParts Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return tt::DateParts{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return tt::RunReport(args, std::cout, std::cerr, Today());
}

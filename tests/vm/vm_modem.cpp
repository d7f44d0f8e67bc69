// A modem on the far end of a line, for the virtual machine's tests: it answers AT commands on
// the terminal it is given, and after CONNECT hands the line to the program named on its
// command line (the far pppd), which takes the terminal as its standard input.
//   vm_modem TTY ANSWER [PROGRAM ARG...]
// ANSWER is what the dial command gets: CONNECT, BUSY, "NO CARRIER", "NO DIALTONE", "NO ANSWER".
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void Say(int fd, const std::string& text) {
    const std::string line = "\r\n" + text + "\r\n";
    if (write(fd, line.data(), line.size()) < 0) std::perror("vm_modem: write");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vm_modem TTY ANSWER [PROGRAM ARG...]\n");
        return 2;
    }
    const std::string answer = argv[2];
    const int fd = open(argv[1], O_RDWR | O_NOCTTY);
    if (fd < 0) {
        std::perror("vm_modem: open");
        return 1;
    }
    termios raw{};
    if (tcgetattr(fd, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(fd, TCSANOW, &raw);
    }
    std::string command;
    char c = 0;
    while (read(fd, &c, 1) == 1) {
        if (c != '\r' && c != '\n') {
            command += c;
            continue;
        }
        if (command.empty()) continue;
        std::fprintf(stderr, "vm_modem: got %s\n", command.c_str());
        std::string upper;
        for (char ch : command) upper += static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
        command.clear();
        if (upper.rfind("ATD", 0) != 0) {
            Say(fd, upper.rfind("AT", 0) == 0 ? "OK" : "ERROR");
            continue;
        }
        if (answer != "CONNECT") {
            Say(fd, answer);
            continue;
        }
        Say(fd, "CONNECT 33600");
        if (argc < 4) return 0;
        dup2(fd, 0);
        close(fd);
        std::vector<char*> args(argv + 3, argv + argc);
        args.push_back(nullptr);
        execv(args[0], args.data());
        std::perror("vm_modem: exec");
        return 1;
    }
    return 0;
}

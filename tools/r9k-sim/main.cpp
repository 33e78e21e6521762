// r9k-sim: a stand-in R9K recorder on a pseudo-terminal. Prints the path of
// the terminal to open (and optionally links it), then answers the link
// protocol until SIGINT or SIGTERM. See README.md.

#include "SimLine.h"
#include "SimOptions.h"
#include "SimRecorder.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace
{

volatile std::sig_atomic_t gStop = 0;

void onSignal(int)
{
    gStop = 1;
}

void installSignals()
{
    struct sigaction sa;
    std::memset(&sa, 0, sizeof(sa));
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: poll() returns so the loop sees the flag
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

bool makeRaw(int fd)
{
    termios tio;
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// Replaces an existing symbolic link, never a real file.
bool makeLink(const std::string& target, const std::string& link)
{
    struct stat st;
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::fprintf(stderr, "r9k-sim: %s exists and is not a symbolic link\n", link.c_str());
            return false;
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "r9k-sim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    SimOptions options;
    bool help = false;
    std::string error;
    if (!parseSimOptions(argc, argv, &options, &help, &error)) {
        std::fprintf(stderr, "r9k-sim: %s\n%s", error.c_str(), simUsage());
        return 2;
    }
    if (help) {
        std::fputs(simUsage(), stdout);
        return 0;
    }

    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("r9k-sim: pseudo-terminal");
        return 1;
    }
    const char* name = ptsname(master);
    if (!name) {
        std::perror("r9k-sim: ptsname");
        return 1;
    }
    const std::string path = name;
    // Holding the terminal side open keeps the master readable across the
    // application's open/close cycles and keeps its settings (raw, no echo).
    const int slave = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0 || !makeRaw(slave)) {
        std::perror("r9k-sim: terminal side");
        return 1;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    if (!options.linkPath.empty() && !makeLink(path, options.linkPath))
        return 1;
    installSignals();

    std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    SimRecorder recorder(options);
    SimLine line(master, recorder, options);
    const int status = line.run(gStop);

    if (!options.linkPath.empty())
        unlink(options.linkPath.c_str());
    close(slave);
    close(master);
    return status;
}

// e2e_run.h
// Header-only helper for the end-to-end tests: start a program with an
// argument vector, feed it a standard-input text, give it a chosen
// environment and working directory, and collect its standard output,
// standard error and exit status.  Also: temporary directories and the
// text helpers for checking output lines.
//
// Typical use:
//   e2e::TempDir tmp;
//   e2e::Options opt;
//   opt.args = {"echo hello"};
//   opt.input = "exit\n";
//   opt.cwd = tmp.Path();
//   e2e::Result r = e2e::Run(DRAVO_SIM_EXE, opt);
//   EXPECT_EQ(r.status, 0);
//   EXPECT_EQ(e2e::Lines(r.out).back(), "hello");
#ifndef DRAVO_E2E_RUN_H
#define DRAVO_E2E_RUN_H

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <map>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace e2e
{

// How to start the program.
struct Options
{
    std::vector<std::string> args;                 // argv[1..]; argv[0] is the program path
    std::string input;                             // written to standard input, which is then closed
    std::map<std::string, std::string> setEnv;     // variables set (or replaced) for the child
    std::vector<std::string> unsetEnv;             // variables removed for the child
    std::string cwd;                               // working directory of the child ("" = ours)
    int timeoutMs = 60000;                         // the child is killed (SIGKILL) after this long
};

// What the program did.
struct Result
{
    int status = -1;        // exit status (0-255), -1 when it did not exit normally
    int signal = 0;         // the signal that ended it, 0 when it exited
    bool timedOut = false;  // killed because the time-out passed
    bool startFailed = false;
    std::string out;        // everything written to standard output
    std::string err;        // everything written to standard error
};

inline std::vector<std::string> BuildEnv(const Options &a_opt)
{
    std::map<std::string, std::string> env;
    for (char **pp = environ; pp && *pp; pp++)
    {
        const char *eq = strchr(*pp, '=');
        if (eq)
            env[std::string(*pp, eq - *pp)] = eq + 1;
    }
    for (const auto &name : a_opt.unsetEnv)
        env.erase(name);
    for (const auto &kv : a_opt.setEnv)
        env[kv.first] = kv.second;
    std::vector<std::string> out;
    for (const auto &kv : env)
        out.push_back(kv.first + "=" + kv.second);
    return out;
}

inline long long NowMs()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

// Runs a_szExe with the options and waits for it to end (or the time-out).
inline Result Run(const std::string &a_szExe, const Options &a_opt = Options())
{
    Result result;
    // The three pipes: standard input, output and error of the child.
    int fds[6] = {-1, -1, -1, -1, -1, -1};
    auto closeAll = [&fds]() {
        for (int &fd : fds)
            if (fd >= 0)
            {
                close(fd);
                fd = -1;
            }
    };
    if (pipe(fds) != 0 || pipe(fds + 2) != 0 || pipe(fds + 4) != 0)
    {
        closeAll();
        result.startFailed = true;
        return result;
    }
    int *pin = fds, *pout = fds + 2, *perr = fds + 4;

    // Everything the child needs is built before fork (no allocation after it).
    std::vector<std::string> args;
    args.push_back(a_szExe);
    for (const auto &a : a_opt.args)
        args.push_back(a);
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> envs = BuildEnv(a_opt);
    std::vector<char *> envp;
    for (auto &e : envs)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);

    pid_t pid = fork();
    if (pid < 0)
    {
        closeAll();
        result.startFailed = true;
        return result;
    }
    if (pid == 0)
    {
        dup2(pin[0], 0);
        dup2(pout[1], 1);
        dup2(perr[1], 2);
        for (int fd : fds)
            close(fd);
        if (!a_opt.cwd.empty() && chdir(a_opt.cwd.c_str()) != 0)
            _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(pin[0]);
    close(pout[1]);
    close(perr[1]);

    // Never die of SIGPIPE when the child stops reading early.
    struct sigaction saIgnore, saOld;
    memset(&saIgnore, 0, sizeof(saIgnore));
    saIgnore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &saIgnore, &saOld);

    fcntl(pin[1], F_SETFL, fcntl(pin[1], F_GETFL) | O_NONBLOCK);
    size_t written = 0;
    int fdIn = pin[1];
    if (a_opt.input.empty())
    {
        close(fdIn);
        fdIn = -1;
    }
    int fdOut = pout[0], fdErr = perr[0];
    long long deadline = NowMs() + a_opt.timeoutMs;
    char buf[65536];
    while (fdOut >= 0 || fdErr >= 0)
    {
        struct pollfd pfd[3];
        int n = 0;
        auto add = [&](int a_fd, short a_events) {
            if (a_fd < 0)
                return -1;
            pfd[n].fd = a_fd;
            pfd[n].events = a_events;
            return n++;
        };
        int iIn = written < a_opt.input.size() ? add(fdIn, POLLOUT) : -1;
        int iOut = add(fdOut, POLLIN);
        int iErr = add(fdErr, POLLIN);
        long long left = deadline - NowMs();
        if (left <= 0)
        {
            kill(pid, SIGKILL);
            result.timedOut = true;
            break;
        }
        int rc = poll(pfd, n, (int)(left > 1000 ? 1000 : left));
        if (rc < 0 && errno != EINTR)
            break;
        if (rc <= 0)
            continue;
        if (iIn >= 0 && (pfd[iIn].revents & (POLLOUT | POLLERR | POLLHUP)))
        {
            ssize_t w = write(fdIn, a_opt.input.data() + written, a_opt.input.size() - written);
            if (w > 0)
                written += (size_t)w;
            else if (w < 0 && errno != EAGAIN && errno != EINTR)
                written = a_opt.input.size(); // the child closed its end
            if (written >= a_opt.input.size())
            {
                close(fdIn);
                fdIn = -1;
            }
        }
        auto drain = [&](int a_i, int &a_fd, std::string &a_text) {
            if (a_i < 0 || !(pfd[a_i].revents & (POLLIN | POLLHUP | POLLERR)))
                return;
            ssize_t r = read(a_fd, buf, sizeof(buf));
            if (r > 0)
                a_text.append(buf, (size_t)r);
            else if (r == 0 || (errno != EINTR && errno != EAGAIN))
            {
                close(a_fd);
                a_fd = -1;
            }
        };
        drain(iOut, fdOut, result.out);
        drain(iErr, fdErr, result.err);
    }
    if (fdIn >= 0)
        close(fdIn);
    if (fdOut >= 0)
        close(fdOut);
    if (fdErr >= 0)
        close(fdErr);

    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR)
    {
    }
    sigaction(SIGPIPE, &saOld, nullptr);
    if (WIFEXITED(wstatus))
        result.status = WEXITSTATUS(wstatus);
    else if (WIFSIGNALED(wstatus))
        result.signal = WTERMSIG(wstatus);
    return result;
}

// A fresh directory under $TMPDIR (or /tmp), removed with its content when
// the object goes away.
class TempDir
{
public:
    TempDir()
    {
        const char *base = getenv("TMPDIR");
        std::string templ = std::string(base && *base ? base : "/tmp") + "/dravo-e2e-XXXXXX";
        std::vector<char> name(templ.begin(), templ.end());
        name.push_back('\0');
        if (mkdtemp(name.data()))
            m_path = name.data();
    }
    ~TempDir()
    {
        if (!m_path.empty())
            nftw(m_path.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &Path() const { return m_path; }
    std::string File(const std::string &a_name) const { return m_path + "/" + a_name; }

    // Writes a file (relative names are inside the directory); sub-folders
    // are not created.
    void Write(const std::string &a_name, const std::string &a_text) const
    {
        std::ofstream f(Abs(a_name), std::ios::binary | std::ios::trunc);
        f << a_text;
    }
    // Reads a whole file; "" when it cannot be read.
    std::string Read(const std::string &a_name) const
    {
        std::ifstream f(Abs(a_name), std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    bool Exists(const std::string &a_name) const
    {
        struct stat st;
        return stat(Abs(a_name).c_str(), &st) == 0;
    }
    bool MakeDir(const std::string &a_name) const { return mkdir(Abs(a_name).c_str(), 0755) == 0; }

private:
    std::string Abs(const std::string &a_name) const { return a_name.size() && a_name[0] == '/' ? a_name : File(a_name); }
    static int RemoveOne(const char *a_path, const struct stat *, int, struct FTW *)
    {
        remove(a_path);
        return 0;
    }
    std::string m_path;
};

// Splits a text into lines at line feeds; a carriage return before the line
// feed is dropped; a last line without a line feed is kept.
inline std::vector<std::string> Lines(const std::string &a_text)
{
    std::vector<std::string> lines;
    std::string cur;
    for (char c : a_text)
    {
        if (c == '\n')
        {
            if (!cur.empty() && cur.back() == '\r')
                cur.pop_back();
            lines.push_back(cur);
            cur.clear();
        }
        else
            cur += c;
    }
    if (!cur.empty())
        lines.push_back(cur);
    return lines;
}

// True when one line of the text equals the given line exactly.
// Number of (possibly overlapping) occurrences of a text.
inline int Count(const std::string &a_text, const std::string &a_what)
{
    if (a_what.empty())
        return 0;
    int n = 0;
    for (size_t pos = a_text.find(a_what); pos != std::string::npos; pos = a_text.find(a_what, pos + 1))
        n++;
    return n;
}

} // namespace e2e

#endif // DRAVO_E2E_RUN_H

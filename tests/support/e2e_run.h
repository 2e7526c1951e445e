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
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace e2e
{

// Reads a whole file; "" when it cannot be read.
inline std::string ReadFile(const std::string &a_path)
{
    std::ifstream f(a_path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// Writes a whole file, replacing what it held; folders are not created.
inline void WriteFile(const std::string &a_path, const std::string &a_text)
{
    std::ofstream f(a_path, std::ios::binary | std::ios::trunc);
    f << a_text;
}

// How to start the program.
struct Options
{
    std::vector<std::string> args;                 // argv[1..]; argv[0] is the program path
    std::string input;                             // written to standard input, which is then closed
    std::map<std::string, std::string> setEnv;     // variables set (or replaced) for the child
    std::vector<std::string> unsetEnv;             // variables removed for the child
    std::string cwd;                               // working directory of the child ("" = ours)
    int timeoutMs = 60000;                         // the child is killed (SIGKILL) after this long
    long fileSizeLimit = 0;                        // > 0: no file of the child grows past this (a full disk)
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
    std::string operator/(const std::string &a_name) const { return File(a_name); }

    // Writes a file (relative names are inside the directory); sub-folders
    // are not created.
    void Write(const std::string &a_name, const std::string &a_text) const { WriteFile(Abs(a_name), a_text); }
    // Reads a whole file; "" when it cannot be read.
    std::string Read(const std::string &a_name) const { return ReadFile(Abs(a_name)); }
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

// Runs a_szExe with the options and waits for it to end (or the time-out).
// Standard input, output and error are files in a scratch folder, so that
// nothing the child leaves running can hold the test up.
inline Result Run(const std::string &a_szExe, const Options &a_opt = Options())
{
    Result result;
    TempDir io;
    io.Write("in", a_opt.input);
    // Everything the child needs is built before fork (no allocation after it).
    std::map<std::string, std::string> env;
    for (char **pp = environ; pp && *pp; pp++)
        if (const char *eq = strchr(*pp, '='))
            env[std::string(*pp, eq - *pp)] = eq + 1;
    for (const auto &name : a_opt.unsetEnv)
        env.erase(name);
    for (const auto &kv : a_opt.setEnv)
        env[kv.first] = kv.second;
    std::vector<std::string> args = {a_szExe}, envs, files = {io.File("in"), io.File("out"), io.File("err")};
    args.insert(args.end(), a_opt.args.begin(), a_opt.args.end());
    for (const auto &kv : env)
        envs.push_back(kv.first + "=" + kv.second);
    std::vector<char *> argv, envp;
    for (auto &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    for (auto &e : envs)
        envp.push_back(const_cast<char *>(e.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0)
    {
        result.startFailed = true;
        return result;
    }
    if (pid == 0)
    {
        for (int fd = 0; fd < 3; fd++)
        {
            int fdFile = open(files[fd].c_str(), fd ? (O_WRONLY | O_CREAT | O_TRUNC) : O_RDONLY, 0600);
            if (fdFile < 0 || dup2(fdFile, fd) < 0)
                _exit(125);
            close(fdFile);
        }
        if (!a_opt.cwd.empty() && chdir(a_opt.cwd.c_str()) != 0)
            _exit(126);
        if (a_opt.fileSizeLimit > 0)
        {
            // Writes past the limit fail (EFBIG) as on a full disk.
            struct rlimit rl = {(rlim_t)a_opt.fileSizeLimit, (rlim_t)a_opt.fileSizeLimit};
            signal(SIGXFSZ, SIG_IGN);
            if (setrlimit(RLIMIT_FSIZE, &rl) != 0)
                _exit(124);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    int wstatus = 0;
    for (int iMs = 0; waitpid(pid, &wstatus, WNOHANG) == 0; iMs++)
    {
        if (iMs >= a_opt.timeoutMs)
        {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            result.timedOut = true;
            break;
        }
        usleep(1000);
    }
    if (WIFEXITED(wstatus))
        result.status = WEXITSTATUS(wstatus);
    else if (WIFSIGNALED(wstatus))
        result.signal = WTERMSIG(wstatus);
    result.out = io.Read("out");
    result.err = io.Read("err");
    return result;
}

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

// Helpers of the shell's end-to-end tests: run dravo-sim in a fresh folder
// (also its HOME, so the services log and the desktop folder stay inside it)
// and read its output without the prompts.
#ifndef DRAVO_TEST_E2E_SHELL_HELPERS_H
#define DRAVO_TEST_E2E_SHELL_HELPERS_H

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "e2e_run.h"

namespace shelltest
{

// The prompt the shell shows before reading a line (plain read, no terminal).
inline std::string Prompt(int a_iState = 0)
{
    return "\033[32m\033[1mtw" + std::to_string(a_iState) + ">>>\033[0m ";
}

// The banner line.
inline std::string Banner()
{
    return "Dravo v2.5 31-Mar-2016 (64-bit)";
}

// Standard output without the prompts shown before each line read; the
// states the prompts showed go to a_paiStates when given.
inline std::string WithoutPrompts(const std::string &a_out, std::vector<int> *a_paiStates = nullptr)
{
    static const std::string s_head = "\033[32m\033[1mtw";
    static const std::string s_tail = ">>>\033[0m ";
    std::string out;
    size_t pos = 0;
    while (pos < a_out.size())
    {
        size_t at = a_out.find(s_head, pos);
        if (at == std::string::npos)
            break;
        size_t digits = at + s_head.size();
        size_t end = digits;
        while (end < a_out.size() && a_out[end] >= '0' && a_out[end] <= '9')
            end++;
        if (end > digits && a_out.compare(end, s_tail.size(), s_tail) == 0)
        {
            out.append(a_out, pos, at - pos);
            if (a_paiStates)
                a_paiStates->push_back(std::stoi(a_out.substr(digits, end - digits)));
            pos = end + s_tail.size();
        }
        else
        {
            out.append(a_out, pos, digits - pos);
            pos = digits;
        }
    }
    out.append(a_out, pos, std::string::npos);
    return out;
}

// One shell run in its own folder.
class Shell
{
public:
    Shell()
    {
        m_tmp.MakeDir("Desktop");
    }

    // Runs the program with these input lines and arguments.
    e2e::Result Run(const std::string &a_input, const std::vector<std::string> &a_args = {})
    {
        e2e::Options opt;
        opt.args = a_args;
        opt.input = a_input;
        opt.cwd = m_tmp.Path();
        opt.setEnv["HOME"] = m_tmp.Path();
        opt.setEnv["ZAV_LOGDIR"] = m_logdir.Path();
        for (const auto &kv : m_env)
            opt.setEnv[kv.first] = kv.second;
        opt.unsetEnv = m_unset;
        opt.fileSizeLimit = m_lFileSizeLimit;
        opt.unsetEnv.insert(opt.unsetEnv.end(), {"ZAV_DEBUG", "ZAV_OSCFGDIR", "XDG_CONFIG_HOME"});
        m_result = e2e::Run(DRAVO_SIM_EXE, opt);
        // Under the sanitizers every run must stay clean.
        EXPECT_EQ(m_result.err.find("Sanitizer"), std::string::npos) << m_result.err;
        EXPECT_EQ(m_result.err.find("runtime error:"), std::string::npos) << m_result.err;
        EXPECT_FALSE(m_result.timedOut);
        EXPECT_EQ(m_result.signal, 0);
        m_states.clear();
        m_lines = e2e::Lines(WithoutPrompts(m_result.out, &m_states));
        return m_result;
    }

    // The lines of the last run's standard output, prompts removed.
    const std::vector<std::string> &Lines() const { return m_lines; }
    const e2e::Result &Result() const { return m_result; }
    // The TWAIN state shown by every prompt of the last run, in order.
    const std::vector<int> &PromptStates() const { return m_states; }

    bool Has(const std::string &a_line) const { return CountOf(a_line) > 0; }
    int CountOf(const std::string &a_line) const { return (int)std::count(m_lines.begin(), m_lines.end(), a_line); }
    // True when these lines follow each other directly somewhere.
    bool HasSequence(const std::vector<std::string> &a_seq) const
    {
        if (a_seq.empty())
            return true;
        for (size_t ii = 0; ii + a_seq.size() <= m_lines.size(); ii++)
        {
            bool blMatch = true;
            for (size_t jj = 0; jj < a_seq.size() && blMatch; jj++)
                blMatch = m_lines[ii + jj] == a_seq[jj];
            if (blMatch)
                return true;
        }
        return false;
    }
    // The lines in this order, others allowed between them.
    bool HasInOrder(const std::vector<std::string> &a_seq) const
    {
        size_t next = 0;
        for (const auto &l : m_lines)
            if (next < a_seq.size() && l == a_seq[next])
                next++;
        return next == a_seq.size();
    }
    // Lines that begin with a_prefix and end with a_suffix.
    int CountAffixed(const std::string &a_prefix, const std::string &a_suffix) const
    {
        int n = 0;
        for (const auto &l : m_lines)
            if (l.size() >= a_prefix.size() + a_suffix.size() && l.compare(0, a_prefix.size(), a_prefix) == 0 &&
                l.compare(l.size() - a_suffix.size(), a_suffix.size(), a_suffix) == 0)
                n++;
        return n;
    }

    // The log folder of the runs, and the services log in it.
    const e2e::TempDir &LogDir() const { return m_logdir; }
    std::string ServicesLog() const { return m_logdir.Read("dravo.log"); }
    bool ServicesLogHas(const std::string &a_szText) const { return ServicesLog().find(a_szText) != std::string::npos; }

    // The stand-in DSM's log, kept in the folder (appended: the DSM would
    // empty a "w" log at every open).
    void KeepDsmLog() { SetEnv("TWAINDSM_LOG", m_tmp.File("dsm.log")); }
    std::string DsmLog() const { return m_tmp.Read("dsm.log"); }
    // In the DSM's log: every application that closed the DSM left no block
    // of its memory live, and no block went to DSM_MemFree that the DSM did
    // not allocate (a container of the C library's family).
    void ExpectDsmMemoryReturned() const
    {
        std::string szLog = DsmLog();
        EXPECT_NE(szLog.find("closed the DSM"), std::string::npos) << szLog;
        for (const std::string &szLine : e2e::Lines(szLog))
        {
            if (szLine.find("closed the DSM") != std::string::npos)
            {
                EXPECT_NE(szLine.find("closed the DSM, 0 memory block(s) live"), std::string::npos) << szLine;
            }
        }
        EXPECT_EQ(szLog.find("DSM_MemFree"), std::string::npos) << szLog;
    }

    e2e::TempDir &Dir() { return m_tmp; }
    const e2e::TempDir &Dir() const { return m_tmp; }
    // Variables set (over the defaults) or removed for the runs.
    void SetEnv(const std::string &a_name, const std::string &a_value) { m_env[a_name] = a_value; }
    void UnsetEnv(const std::string &a_name)
    {
        m_env.erase(a_name);
        m_unset.push_back(a_name);
    }
    // No file of the runs grows past this many bytes (0: no limit): a full disk.
    void SetFileSizeLimit(long a_lBytes) { m_lFileSizeLimit = a_lBytes; }

private:
    e2e::TempDir m_tmp;
    e2e::TempDir m_logdir;
    std::map<std::string, std::string> m_env;
    std::vector<std::string> m_unset;
    long m_lFileSizeLimit = 0;
    e2e::Result m_result;
    std::vector<std::string> m_lines;
    std::vector<int> m_states;
};

// A shell run with the simulated scanner's configuration and journal in its
// folder.
class SimShell : public Shell
{
public:
    explicit SimShell(const std::string &a_szConfig = "")
    {
        Dir().Write("sim.cfg", a_szConfig);
        SetEnv("SIMSCANNER_CONFIG", Dir().File("sim.cfg"));
        SetEnv("SIMSCANNER_JOURNAL", Dir().File("journal.txt"));
    }
    // The journal lines that hold every one of the texts.
    std::vector<std::string> Journal(const std::vector<std::string> &a_aszTexts)
    {
        std::vector<std::string> aszLines;
        for (const std::string &szLine : e2e::Lines(Dir().Read("journal.txt")))
            if (std::all_of(a_aszTexts.begin(), a_aszTexts.end(),
                            [&](const std::string &a_sz) { return szLine.find(a_sz) != std::string::npos; }))
                aszLines.push_back(szLine);
        return aszLines;
    }
};

// The bytes of a text as the simulator's journal writes data: two lower-case
// hexadecimal digits each.
inline std::string Hex(const std::string &a_sz)
{
    static const char s_achDigits[] = "0123456789abcdef";
    std::string szHex;
    for (unsigned char uch : a_sz)
    {
        szHex += s_achDigits[uch >> 4];
        szHex += s_achDigits[uch & 15];
    }
    return szHex;
}

// The texts of the message commands.
inline std::string Bold(const std::string &a_text)
{
    return "\033[1m" + a_text + "\033[0m";
}
inline std::string Green(const std::string &a_text)
{
    return "\033[32m\033[1m" + a_text + "\033[0m";
}
inline std::string Red(const std::string &a_text)
{
    return "\033[31m\033[1m" + a_text + "\033[0m";
}
inline std::string Yellow(const std::string &a_text)
{
    return "\033[33m\033[1m" + a_text + "\033[0m";
}

} // namespace shelltest

#endif // DRAVO_TEST_E2E_SHELL_HELPERS_H

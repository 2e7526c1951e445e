// simjournal.cpp
//
// The simulator's journal (see simjournal.h).

#include "simjournal.h"

#include "simnames.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::atomic<std::uint64_t> s_u64Sequence(0);

void AppendLine(const std::string& a_szPath, const std::string& a_szLine);
}

std::string SimHex(const void* a_pv, std::size_t a_uBytes)
{
    static const char s_szDigits[] = "0123456789abcdef";
    std::string sz;
    sz.reserve(a_uBytes * 2);
    const unsigned char* pu8 = static_cast<const unsigned char*>(a_pv);
    for (std::size_t ii = 0; ii < a_uBytes; ii++)
    {
        sz += s_szDigits[pu8[ii] >> 4];
        sz += s_szDigits[pu8[ii] & 0x0F];
    }
    return sz;
}

std::uint64_t SimJournalWrite(const std::string& a_szPath, const SimJournalCall& a_call)
{
    std::uint64_t u64Sequence = ++s_u64Sequence;
    if (a_szPath.empty())
    {
        return u64Sequence;
    }
    char szHead[256];
    std::snprintf(szHead, sizeof(szHead), "%s %llu %s %s/%s/%s 0x%04x/0x%04x/0x%04x state=%d->%d", a_call.m_szDirection,
                  static_cast<unsigned long long>(u64Sequence), a_call.m_szSource.c_str(),
                  SimNameOrHex(eSimNameDg, a_call.m_u32Dg).c_str(), SimNameOrHex(eSimNameDat, a_call.m_u16Dat).c_str(),
                  SimNameOrHex(eSimNameMsg, a_call.m_u16Msg).c_str(), static_cast<unsigned>(a_call.m_u32Dg & 0xFFFF),
                  a_call.m_u16Dat, a_call.m_u16Msg, a_call.m_iStateBefore, a_call.m_iStateAfter);
    std::string szLine = szHead;
    if (!a_call.m_szData.empty())
    {
        szLine += " data=" + a_call.m_szData;
    }
    if (!a_call.m_szContainer.empty())
    {
        szLine += " container=" + a_call.m_szContainer;
    }
    char szCodes[128];
    if (a_call.m_blRc)
    {
        std::snprintf(szCodes, sizeof(szCodes), " rc=%s(%u)", SimNameOrHex(eSimNameRc, a_call.m_u16Rc).c_str(), a_call.m_u16Rc);
        szLine += szCodes;
    }
    if (a_call.m_blCc)
    {
        std::snprintf(szCodes, sizeof(szCodes), " cc=%s(%u)", SimNameOrHex(eSimNameCc, a_call.m_u16Cc).c_str(), a_call.m_u16Cc);
        szLine += szCodes;
    }
    if (!a_call.m_szNote.empty())
    {
        szLine += " " + a_call.m_szNote;
    }
    szLine += "\n";
    AppendLine(a_szPath, szLine);
    return u64Sequence;
}

void SimJournalNote(const std::string& a_szPath, const char* a_szDirection, const std::string& a_szSource, const std::string& a_szText)
{
    std::uint64_t u64Sequence = ++s_u64Sequence;
    if (a_szPath.empty())
    {
        return;
    }
    AppendLine(a_szPath, std::string(a_szDirection) + " " + std::to_string(u64Sequence) + " " + a_szSource + " " + a_szText + "\n");
}

namespace
{
// All of a text to an open file; false when a write fails.
bool WriteAll(int a_iFd, const std::string& a_szText)
{
    const char* pch = a_szText.data();
    std::size_t uLeft = a_szText.size();
    while (uLeft > 0)
    {
        ssize_t iWritten = ::write(a_iFd, pch, uLeft);
        if (iWritten < 0 && errno == EINTR)
        {
            continue;
        }
        if (iWritten <= 0)
        {
            return false;
        }
        pch += iWritten;
        uLeft -= static_cast<std::size_t>(iWritten);
    }
    return true;
}

// A journal that cannot be opened is no journal: the source works on.
void AppendLine(const std::string& a_szPath, const std::string& a_szLine)
{
    int iFd = SimOpenForWriting(a_szPath, O_APPEND | O_CREAT);
    if (iFd >= 0)
    {
        WriteAll(iFd, a_szLine);
        ::close(iFd);
    }
}
}

int SimOpenForWriting(const std::string& a_szPath, int a_iFlags)
{
    if (a_szPath.empty())
    {
        return -1;
    }
    int iFd = ::open(a_szPath.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | a_iFlags, 0644);
    if (iFd < 0)
    {
        return -1;
    }
    struct stat st;
    if (::fstat(iFd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) ||
        ::fcntl(iFd, F_SETFL, ::fcntl(iFd, F_GETFL) & ~O_NONBLOCK) != 0)
    {
        ::close(iFd);
        return -1;
    }
    return iFd;
}

bool SimWriteFile(const std::string& a_szPath, const std::string& a_szText)
{
    int iFd = SimOpenForWriting(a_szPath, O_CREAT | O_TRUNC);
    if (iFd < 0)
    {
        return false;
    }
    bool blWritten = WriteAll(iFd, a_szText);
    return (::close(iFd) == 0) && blWritten;
}

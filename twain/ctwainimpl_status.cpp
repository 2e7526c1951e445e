// ctwainimpl_status.cpp
// Names of return and condition codes, codes forced by a script, and the
// status test that scripts branch on.
#include "ctwainimpl.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "clookup.h"

namespace
{

bool BeginsWith(const char *a_szText, const char *a_szPrefix)
{
    return !strncasecmp(a_szText, a_szPrefix, strlen(a_szPrefix));
}

bool WordPresent(const char *const *a_aszWords, int a_iWord)
{
    // Words end at the first missing or empty one.
    for (int ii = 0; ii <= a_iWord; ii++)
    {
        if (!a_aszWords[ii] || ((ii > 0) && !a_aszWords[ii][0]))
        {
            return false;
        }
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// Code names
// ---------------------------------------------------------------------------
void CTwainImpl::GetStatusStrings(TW_UINT16 a_twrc, TW_UINT16 a_twcc, char *a_szTwrc, size_t a_u64TwrcSize,
                                  char *a_szTwcc, size_t a_u64TwccSize, bool a_blAskStatus, ETWRECORD a_etwrecord)
{
    // With a_blAskStatus the codes are the latest triplet's, its condition
    // code read now; otherwise the given ones, with the crash flag recorded
    // with the last codes (a read-back, which records nothing: its own).  A call that crashed has no condition code,
    // whatever the caller holds: nobody answered it.  Nor has a status
    // request that crashed.
    bool blCrashed = (a_etwrecord == ETWRECORD_NONE) ? s_blCallCrashed : m_blLastCrashed.load();
    if (a_blAskStatus)
    {
        a_twcc = ReadCondition(a_twrc, nullptr, a_etwrecord);
        blCrashed = s_blCallCrashed;
    }

    if (a_szTwrc && a_u64TwrcSize)
    {
        TwLookup *ptwlookup = m_plookup ? m_plookup->Lookup(ETWLOOKUP_TWRC, a_twrc, 0, 0) : nullptr;
        if (ptwlookup && ptwlookup->ptwenum && ptwlookup->ptwenum->szSymbol[0])
        {
            TwainFieldText(ptwlookup->ptwenum->szSymbol, sizeof(ptwlookup->ptwenum->szSymbol), a_szTwrc,
                           a_u64TwrcSize);
        }
        else
        {
            snprintf(a_szTwrc, a_u64TwrcSize, "TWRC_0x%x", static_cast<unsigned>(a_twrc));
        }
    }
    if (a_szTwcc && a_u64TwccSize && blCrashed)
    {
        COsString::SStrCpy(a_szTwcc, a_u64TwccSize, "crashed");
    }
    else if (a_szTwcc && a_u64TwccSize)
    {
        TwLookup *ptwlookup = m_plookup ? m_plookup->Lookup(ETWLOOKUP_TWCC, a_twcc, 0, 0) : nullptr;
        if (ptwlookup && ptwlookup->ptwenum && ptwlookup->ptwenum->szSymbol[0])
        {
            TwainFieldText(ptwlookup->ptwenum->szSymbol, sizeof(ptwlookup->ptwenum->szSymbol), a_szTwcc,
                           a_u64TwccSize);
        }
        else
        {
            snprintf(a_szTwcc, a_u64TwccSize, "TWCC_0x%x", static_cast<unsigned>(a_twcc));
        }
    }
}

// ---------------------------------------------------------------------------
// Forced codes
// ---------------------------------------------------------------------------
bool CTwainImpl::LookupSymbolValue(const char *a_szName, TW_UINT32 *a_ptwValue)
{
    TwLookup *ptwlookup = (m_plookup && a_szName) ? m_plookup->Lookup(a_szName) : nullptr;
    if (!ptwlookup)
    {
        return false;
    }
    if (!strcasecmp(ptwlookup->szName, a_szName))
    {
        // A capability's own name: its id.
        *a_ptwValue = ptwlookup->u32Id;
        return true;
    }
    if (!ptwlookup->ptwenum)
    {
        return false;
    }
    *a_ptwValue = ptwlookup->ptwenum->u32Value;
    return true;
}

TW_UINT16 CTwainImpl::DSReturn(const char *const *a_aszWords, TW_UINT16 *a_ptwrcLast, TW_UINT16 *a_ptwccLast)
{
    if (a_aszWords && WordPresent(a_aszWords, 1))
    {
        TW_UINT32 twValue = 0;
        if (LookupSymbolValue(a_aszWords[1], &twValue))
        {
            m_twrcLast = static_cast<TW_UINT16>(twValue);
        }
        else
        {
            OSLOG_ASSERT("bad return code...%s", a_aszWords[1]);
        }
        if (WordPresent(a_aszWords, 2))
        {
            if (LookupSymbolValue(a_aszWords[2], &twValue))
            {
                m_twccLast = static_cast<TW_UINT16>(twValue);
            }
            else
            {
                OSLOG_ASSERT("bad condition code...%s", a_aszWords[2]);
            }
        }
    }
    if (a_ptwrcLast)
    {
        *a_ptwrcLast = m_twrcLast;
    }
    if (a_ptwccLast)
    {
        *a_ptwccLast = m_twccLast;
    }
    return m_twrcLast;
}

// ---------------------------------------------------------------------------
// The codes a shell command leaves
// ---------------------------------------------------------------------------
void CTwainImpl::CommandEnd(uint64_t a_u64Recorded, TW_UINT16 a_twrc)
{
    // A failure that recorded nothing: the words were refused before any
    // triplet could carry them.
    if ((a_twrc != TWRC_SUCCESS) && (m_u64Recorded == a_u64Recorded))
    {
        Refuse(TWCC_BADVALUE);
    }
}

TW_UINT16 CTwainImpl::Refuse(TW_UINT16 a_twcc)
{
    m_twrcLast = TWRC_FAILURE;
    m_twccLast = a_twcc;
    m_blLastCrashed = false;
    m_u64Recorded++;
    return TWRC_FAILURE;
}

// ---------------------------------------------------------------------------
// The status test
// ---------------------------------------------------------------------------
bool CTwainImpl::DSIfStatus(const char *const *a_aszWords, TW_UINT16 *a_ptwrcLast, TW_UINT16 *a_ptwccLast)
{
    if (a_ptwrcLast)
    {
        *a_ptwrcLast = m_twrcLast;
    }
    if (a_ptwccLast)
    {
        *a_ptwccLast = m_twccLast;
    }
    if (!a_aszWords || !WordPresent(a_aszWords, 1))
    {
        return false;
    }

    // Terms joined left to right, without precedence.
    bool blResult = false;
    bool blAnd = false;     // the pending operator: OR at the start
    bool blNot = false;
    for (int iWord = 1; WordPresent(a_aszWords, iWord); iWord++)
    {
        const char *szWord = a_aszWords[iWord];
        if (!strcasecmp(szWord, "AND") || !strcasecmp(szWord, "OR"))
        {
            if (blNot)
            {
                blNot = false;
                OSLOG_ASSERT("not is in a bad place...");
            }
            blAnd = !strcasecmp(szWord, "AND");
            continue;
        }
        if (!strcasecmp(szWord, "NOT"))
        {
            blNot = !blNot;
            continue;
        }

        bool blTerm;
        if (BeginsWith(szWord, "twde_") || BeginsWith(szWord, "msg_"))
        {
            char szLastEvent[sizeof(m_szLastEvent) + 1];
            TwainFieldText(m_szLastEvent, sizeof(m_szLastEvent), szLastEvent, sizeof(szLastEvent));
            blTerm = !strcasecmp(szWord, szLastEvent);
        }
        else if (TwLookup *ptwlookup = m_plookup ? m_plookup->Lookup(szWord) : nullptr)
        {
            TW_UINT32 twValue = ptwlookup->ptwenum ? ptwlookup->ptwenum->u32Value : 0;
            if (BeginsWith(szWord, "twrc_") && ptwlookup->ptwenum)
            {
                blTerm = (static_cast<TW_UINT16>(twValue) == m_twrcLast) && (twValue <= 0xFFFF);
            }
            else if (BeginsWith(szWord, "twcc_") && ptwlookup->ptwenum)
            {
                blTerm = (static_cast<TW_UINT16>(twValue) == m_twccLast) && (twValue <= 0xFFFF);
            }
            else
            {
                OSLOG_ASSERT("bad test...%s", szWord);
                return false;
            }
        }
        else if (!strcasecmp(szWord, "obs_twrc_busy"))
        {
            blTerm = (m_twrcLast == TWRC_BUSY_CUSTOM) || (m_twrcLast == TWRC_BUSY);
        }
        else if (BeginsWith(szWord, "0x"))
        {
            blTerm = (COsString::StrToFastHex(szWord) == m_twrcLast);
        }
        else
        {
            OSLOG_ASSERT("bad test...%s", szWord);
            return false;
        }

        if (blNot)
        {
            blTerm = !blTerm;
            blNot = false;
        }
        blResult = blAnd ? (blResult && blTerm) : (blResult || blTerm);
    }
    return blResult;
}

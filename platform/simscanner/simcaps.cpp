// simcaps.cpp
//
// The capability engine of the simulated scanner (see simcaps.h).

#include "simcaps.h"

#include "simnames.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace
{
SimCapResult Fail(TW_UINT16 a_u16Cc)
{
    SimCapResult result;
    result.m_u16Rc = TWRC_FAILURE;
    result.m_u16Cc = a_u16Cc;
    return result;
}

SimCapResult Done(bool a_blAdjusted)
{
    SimCapResult result;
    result.m_u16Rc = a_blAdjusted ? TWRC_CHECKSTATUS : TWRC_SUCCESS;
    return result;
}

std::int64_t RoundToGrid(std::int64_t a_i64, std::int64_t a_i64Min, std::int64_t a_i64Step)
{
    if (a_i64Step <= 0)
    {
        return a_i64Min;
    }
    std::int64_t i64Off = a_i64 - a_i64Min;
    std::int64_t i64K = (i64Off + a_i64Step / 2) / a_i64Step;
    if (i64Off < 0)
    {
        i64K = 0;
    }
    return a_i64Min + i64K * a_i64Step;
}

// Orders the items of one type by value, in agreement with SimItemEqual, so
// that long lists (an enumeration may hold tens of thousands of values) are
// searched and compared without quadratic cost.
struct ItemLess
{
    TW_UINT16 m_u16Type;
    bool operator()(const SimItem& a_a, const SimItem& a_b) const
    {
        if (SimTypeIsString(m_u16Type) || m_u16Type == TWTY_UNI512)
        {
            return a_a.m_sz < a_b.m_sz;
        }
        if (SimTypeIsFrame(m_u16Type))
        {
            for (int ii = 0; ii < 4; ii++)
            {
                if (a_a.m_ai32Frame[ii] != a_b.m_ai32Frame[ii])
                {
                    return a_a.m_ai32Frame[ii] < a_b.m_ai32Frame[ii];
                }
            }
            return m_u16Type == TWTY_FRAMEANGLE && a_a.m_i64Angle < a_b.m_i64Angle;
        }
        return a_a.m_i64 < a_b.m_i64;
    }
};

typedef std::set<SimItem, ItemLess> ItemSet;
}

void CSimCaps::Setup(const std::vector<SimCapDef>& a_adef, TW_UINT16 a_u16ProtocolMajor, TW_UINT16 a_u16ProtocolMinor)
{
    m_adef = a_adef;
    m_mapIndex.clear();
    m_mapState.clear();
    for (std::size_t ii = 0; ii < m_adef.size(); ii++)
    {
        m_mapIndex[m_adef[ii].m_u16Cap] = ii;
    }
    m_blConstraintMsg = (a_u16ProtocolMajor * 100 + a_u16ProtocolMinor) >= 202;
    m_blTextMsgs = (a_u16ProtocolMajor * 100 + a_u16ProtocolMinor) >= 201;
    m_iCamera = -1;
}

const SimCapDef* CSimCaps::Find(TW_UINT16 a_u16Cap) const
{
    auto it = m_mapIndex.find(a_u16Cap);
    return (it == m_mapIndex.end()) ? nullptr : &m_adef[it->second];
}

std::vector<TW_UINT16> CSimCaps::SupportedCaps() const
{
    std::vector<TW_UINT16> au16;
    for (const auto& pair : m_mapIndex)
    {
        au16.push_back(pair.first);
    }
    return au16;
}

int CSimCaps::ScopeKey(const SimCapDef& a_def)
{
    switch (a_def.m_eScope)
    {
        case eSimScopeCamera:
            return m_iCamera;
        case eSimScopeWindow:
            return static_cast<int>(CurrentInt(CAP_WINDOWCAMERA, 0));
        default:
            return 0;
    }
}

CSimCaps::State& CSimCaps::StateOf(const SimCapDef& a_def)
{
    return StateAt(a_def, ScopeKey(a_def));
}

CSimCaps::State& CSimCaps::StateAt(const SimCapDef& a_def, int a_iKey)
{
    auto key = std::make_pair(a_def.m_u16Cap, a_iKey);
    auto it = m_mapState.find(key);
    if (it != m_mapState.end())
    {
        return it->second;
    }
    State state;
    InitState(a_def, a_iKey, state);
    return m_mapState.emplace(key, state).first->second;
}

void CSimCaps::InitState(const SimCapDef& a_def, int a_iKey, State& a_state)
{
    // A camera that was never addressed takes what was set for all cameras.
    if (a_def.m_eScope == eSimScopeCamera && a_iKey >= 0)
    {
        auto it = m_mapState.find(std::make_pair(a_def.m_u16Cap, -1));
        if (it != m_mapState.end() && m_setExplicitRoot.count(a_def.m_u16Cap) != 0)
        {
            a_state = it->second;
            return;
        }
    }
    a_state = State();
    if (a_def.m_eShape == eSimArray || a_def.m_blFree)
    {
        a_state.m_aCurrent = a_def.m_aDefault;
    }
    else
    {
        a_state.m_aCurrent.push_back(DefaultOf(a_def, a_iKey));
    }
}

SimItem CSimCaps::DefaultOf(const SimCapDef& a_def, int a_iKey)
{
    for (const auto& pair : a_def.m_aScopeDefaults)
    {
        if (pair.first == a_iKey)
        {
            return pair.second;
        }
    }
    const SimCapLink* plink = ActiveLink(a_def);
    if (plink != nullptr)
    {
        return plink->m_def;
    }
    return a_def.m_aDefault.empty() ? SimItem() : a_def.m_aDefault[0];
}

void CSimCaps::RefreshLive(const SimCapDef& a_def, State& a_state)
{
    std::vector<SimItem> aitem;
    if (a_def.m_u16Cap == CAP_SUPPORTEDCAPS && a_def.m_aDefault.empty())
    {
        for (TW_UINT16 u16 : SupportedCaps())
        {
            aitem.push_back(SimInt(u16));
        }
        a_state.m_aCurrent = aitem;
        return;
    }
    if (m_pfnLive && m_pfnLive(a_def.m_u16Cap, aitem))
    {
        a_state.m_aCurrent = aitem;
    }
}

const SimCapLink* CSimCaps::ActiveLink(const SimCapDef& a_def)
{
    for (const auto& link : a_def.m_aLinks)
    {
        const SimCapDef* pdefKey = Find(link.m_u16KeyCap);
        if (pdefKey == nullptr || pdefKey == &a_def)
        {
            continue;
        }
        State& stateKey = StateOf(*pdefKey);
        if (!stateKey.m_aCurrent.empty() && stateKey.m_aCurrent[0].m_i64 == link.m_i64KeyValue)
        {
            return &link;
        }
    }
    return nullptr;
}

std::vector<SimItem> CSimCaps::BaseList(const SimCapDef& a_def)
{
    const SimCapLink* plink = ActiveLink(a_def);
    return (plink != nullptr) ? plink->m_aAllowed : a_def.m_aValues;
}

std::vector<SimItem> CSimCaps::EffectiveList(const SimCapDef& a_def, State& a_state)
{
    std::vector<SimItem> aitemBase = BaseList(a_def);
    if (!a_state.m_blConstrained)
    {
        return aitemBase;
    }
    std::vector<SimItem> aitem;
    ItemSet setCon(ItemLess{a_def.m_u16Type});
    if (!a_state.m_blConRange)
    {
        setCon.insert(a_state.m_aConList.begin(), a_state.m_aConList.end());
    }
    for (const SimItem& item : aitemBase)
    {
        bool blKeep = false;
        if (a_state.m_blConRange)
        {
            blKeep = SimItemCompare(item, a_state.m_conMin) >= 0 && SimItemCompare(item, a_state.m_conMax) <= 0 &&
                     OnGrid(item, a_state.m_conMin, a_state.m_conStep);
        }
        else
        {
            blKeep = setCon.count(item) != 0;
        }
        if (blKeep)
        {
            aitem.push_back(item);
        }
    }
    return aitem;
}

void CSimCaps::EffectiveRange(const SimCapDef& a_def, State& a_state, SimItem& a_min, SimItem& a_max, SimItem& a_step)
{
    a_min = a_def.m_min;
    a_max = a_def.m_max;
    a_step = a_def.m_step;
    if (a_state.m_blConstrained && a_state.m_blConRange)
    {
        a_min = a_state.m_conMin;
        a_max = a_state.m_conMax;
        a_step = a_state.m_conStep;
    }
}

bool CSimCaps::OnGrid(const SimItem& a_item, const SimItem& a_min, const SimItem& a_step)
{
    if (a_step.m_i64 <= 0)
    {
        return a_item.m_i64 == a_min.m_i64;
    }
    return ((a_item.m_i64 - a_min.m_i64) % a_step.m_i64) == 0;
}

bool CSimCaps::Constrainable(const SimCapDef& a_def) const
{
    return !a_def.m_blReadOnly && !a_def.m_blFree && (a_def.m_eShape == eSimEnum || a_def.m_eShape == eSimRange);
}

TW_UINT32 CSimCaps::QueryFlags(const SimCapDef& a_def) const
{
    // A configured answer is only what the source reports: what the
    // capability allows stays as its definition says.
    return a_def.m_blQueryOverride ? a_def.m_u32Query : AllowedFlags(a_def);
}

TW_UINT32 CSimCaps::AllowedFlags(const SimCapDef& a_def) const
{
    TW_UINT32 u32 = TWQC_GET | TWQC_GETCURRENT | TWQC_GETDEFAULT | m_u32QueryExtra;
    if (!a_def.m_blReadOnly)
    {
        u32 |= TWQC_SET | TWQC_RESET;
    }
    if (Constrainable(a_def))
    {
        u32 |= TWQC_CONSTRAINABLE;
        if (m_blConstraintMsg)
        {
            u32 |= TWQC_SETCONSTRAINT;
        }
    }
    if (m_blTextMsgs && !SimNameOf(eSimNameCap, a_def.m_u16Cap).empty())
    {
        u32 |= TWQC_GETHELP | TWQC_GETLABEL | ((a_def.m_eShape == eSimEnum) ? TWQC_GETLABELENUM : 0);
    }
    return u32;
}

bool CSimCaps::RequirementMet(const SimCapDef& a_def)
{
    if (a_def.m_u16RequireCap == 0)
    {
        return true;
    }
    const SimCapDef* pdef = Find(a_def.m_u16RequireCap);
    if (pdef == nullptr)
    {
        return true;
    }
    State& state = StateOf(*pdef);
    return !state.m_aCurrent.empty() && state.m_aCurrent[0].m_i64 == a_def.m_i64RequireValue;
}

// Units per inch of ICAP_UNITS (for a_iEdge 0 horizontal, 1 vertical).
double CSimCaps::UnitFactor(const SimCapDef& a_def, int a_iEdge)
{
    std::int64_t i64Units = CurrentInt(ICAP_UNITS, TWUN_INCHES);
    switch (i64Units)
    {
        case TWUN_CENTIMETERS: return 2.54;
        case TWUN_PICAS:       return 6.0;
        case TWUN_POINTS:      return 72.0;
        case TWUN_TWIPS:       return 1440.0;
        case TWUN_MILLIMETERS: return 25.4;
        case TWUN_PIXELS:
        {
            if (a_def.m_eKind == eSimResolution)
            {
                return 1.0;
            }
            SimItem itemRes = Current(a_iEdge == 0 ? ICAP_XRESOLUTION : ICAP_YRESOLUTION);
            double dRes = SimFixToDouble(itemRes.m_i64);
            return (dRes > 0.0) ? dRes : 1.0;
        }
        default:               return 1.0;
    }
}

SimItem CSimCaps::ToUnits(const SimCapDef& a_def, const SimItem& a_item)
{
    SimItem item = a_item;
    switch (a_def.m_eKind)
    {
        case eSimLengthX:
        case eSimLengthY:
            item.m_i64 = std::llround(static_cast<double>(a_item.m_i64) * UnitFactor(a_def, a_def.m_eKind == eSimLengthY));
            break;
        case eSimResolution:
            item.m_i64 = std::llround(static_cast<double>(a_item.m_i64) / UnitFactor(a_def, 0));
            break;
        case eSimFrameKind:
            for (int ii = 0; ii < 4; ii++)
            {
                item.m_ai32Frame[ii] = static_cast<std::int32_t>(std::llround(static_cast<double>(a_item.m_ai32Frame[ii]) * UnitFactor(a_def, ii & 1)));
            }
            break;
        default:
            break;
    }
    return item;
}

SimItem CSimCaps::FromUnits(const SimCapDef& a_def, const SimItem& a_item)
{
    SimItem item = a_item;
    switch (a_def.m_eKind)
    {
        case eSimLengthX:
        case eSimLengthY:
            item.m_i64 = std::llround(static_cast<double>(a_item.m_i64) / UnitFactor(a_def, a_def.m_eKind == eSimLengthY));
            break;
        case eSimResolution:
            item.m_i64 = std::llround(static_cast<double>(a_item.m_i64) * UnitFactor(a_def, 0));
            break;
        case eSimFrameKind:
            for (int ii = 0; ii < 4; ii++)
            {
                item.m_ai32Frame[ii] = static_cast<std::int32_t>(std::llround(static_cast<double>(a_item.m_ai32Frame[ii]) / UnitFactor(a_def, ii & 1)));
            }
            break;
        default:
            break;
    }
    return item;
}

// Index of the list item (engine units) that equals a_itemUnits once shown in
// the current units; -1 when none does.
int CSimCaps::FindInList(const SimCapDef& a_def, const std::vector<SimItem>& a_alist, const SimItem& a_itemUnits)
{
    return FindInIndex(a_def, IndexList(a_def, a_alist), a_itemUnits);
}

CSimCaps::ListIndex CSimCaps::IndexList(const SimCapDef& a_def, const std::vector<SimItem>& a_alist)
{
    ListIndex index;
    index.reserve(a_alist.size());
    for (std::size_t ii = 0; ii < a_alist.size(); ii++)
    {
        index.emplace_back(ToUnits(a_def, a_alist[ii]), ii);
    }
    ItemLess less{a_def.m_u16Type};
    std::stable_sort(index.begin(), index.end(),
                     [&less](const ListIndex::value_type& a_a, const ListIndex::value_type& a_b) {
                         return less(a_a.first, a_b.first);
                     });
    return index;
}

int CSimCaps::FindInIndex(const SimCapDef& a_def, const ListIndex& a_index, const SimItem& a_itemUnits) const
{
    // Converted lengths and resolutions match within one 1/65536 step.
    std::int64_t i64Tolerance = (a_def.m_u16Type == TWTY_FIX32 && a_def.m_eKind != eSimPlain) ? 1 : 0;
    ItemLess less{a_def.m_u16Type};
    SimItem itemLow = a_itemUnits;
    itemLow.m_i64 -= i64Tolerance;
    auto it = std::lower_bound(a_index.begin(), a_index.end(), itemLow,
                               [&less](const ListIndex::value_type& a_entry, const SimItem& a_item) {
                                   return less(a_entry.first, a_item);
                               });
    long lFound = -1;
    for (; it != a_index.end(); ++it)
    {
        bool blMatch = (i64Tolerance != 0) ? (it->first.m_i64 <= a_itemUnits.m_i64 + i64Tolerance)
                                           : !less(a_itemUnits, it->first);
        if (!blMatch)
        {
            break;
        }
        if (lFound < 0 || static_cast<long>(it->second) < lFound)
        {
            lFound = static_cast<long>(it->second);
        }
    }
    return static_cast<int>(lFound);
}

// A value of a capability without a list (strings, frames, free integers).
bool CSimCaps::ValidFree(const SimCapDef& a_def, SimItem& a_item, bool& a_blAdjusted)
{
    if (SimTypeIsNumeric(a_def.m_u16Type) || a_def.m_u16Type == TWTY_BOOL)
    {
        if (!SimIntFits(a_def.m_u16Type, a_item.m_i64))
        {
            return false;
        }
        if (a_def.m_blLimits && (SimItemCompare(a_item, a_def.m_min) < 0 || SimItemCompare(a_item, a_def.m_max) > 0))
        {
            return false;
        }
        for (const SimItem& item : a_def.m_aForbid)
        {
            if (item.m_i64 == a_item.m_i64)
            {
                return false;
            }
        }
        return true;
    }
    if (SimTypeIsFrame(a_def.m_u16Type))
    {
        std::int32_t* pi32 = a_item.m_ai32Frame;
        if (pi32[0] < 0 || pi32[1] < 0 || pi32[0] >= pi32[2] || pi32[1] >= pi32[3])
        {
            return false;
        }
        if (a_def.m_eKind == eSimFrameKind)
        {
            // Frames lie on the scanning area: clip to the physical size.
            const SimCapDef* pdefW = Find(ICAP_PHYSICALWIDTH);
            const SimCapDef* pdefH = Find(ICAP_PHYSICALHEIGHT);
            if (pdefW != nullptr && pi32[2] > Current(ICAP_PHYSICALWIDTH).m_i64)
            {
                pi32[2] = static_cast<std::int32_t>(Current(ICAP_PHYSICALWIDTH).m_i64);
                a_blAdjusted = true;
            }
            if (pdefH != nullptr && pi32[3] > Current(ICAP_PHYSICALHEIGHT).m_i64)
            {
                pi32[3] = static_cast<std::int32_t>(Current(ICAP_PHYSICALHEIGHT).m_i64);
                a_blAdjusted = true;
            }
            if (pi32[0] >= pi32[2] || pi32[1] >= pi32[3])
            {
                return false;
            }
        }
        return true;
    }
    return true;
}

void CSimCaps::BuildGet(const SimCapDef& a_def, State& a_state, SimContainer& a_con)
{
    a_con = SimContainer();
    a_con.m_u16ItemType = a_def.m_u16Type;
    int iKey = ScopeKey(a_def);
    if (a_def.m_eShape == eSimArray)
    {
        a_con.m_u16ConType = TWON_ARRAY;
        const std::vector<SimItem>& aitem = (a_def.m_aValues.empty() || a_def.m_blReadOnly) ? a_state.m_aCurrent : a_def.m_aValues;
        for (const SimItem& item : aitem)
        {
            a_con.m_aItems.push_back(ToUnits(a_def, item));
        }
        return;
    }
    if (a_def.m_blFree)
    {
        a_con.m_u16ConType = TWON_ENUMERATION;
        for (const SimItem& item : a_state.m_aCurrent)
        {
            a_con.m_aItems.push_back(ToUnits(a_def, item));
        }
        return;
    }
    SimItem itemCur = a_state.m_aCurrent.empty() ? SimItem() : a_state.m_aCurrent[0];
    SimItem itemDef = DefaultOf(a_def, iKey);
    if (a_def.m_eShape == eSimEnum || (a_def.m_eShape == eSimRange && a_state.m_blConstrained && !a_state.m_blConRange))
    {
        std::vector<SimItem> aitem = (a_def.m_eShape == eSimEnum) ? EffectiveList(a_def, a_state) : a_state.m_aConList;
        a_con.m_u16ConType = TWON_ENUMERATION;
        for (std::size_t ii = 0; ii < aitem.size(); ii++)
        {
            if (SimItemEqual(a_def.m_u16Type, aitem[ii], itemCur))
            {
                a_con.m_u64CurrentIndex = ii;
            }
            if (SimItemEqual(a_def.m_u16Type, aitem[ii], itemDef))
            {
                a_con.m_u64DefaultIndex = ii;
            }
            a_con.m_aItems.push_back(ToUnits(a_def, aitem[ii]));
        }
        return;
    }
    if (a_def.m_eShape == eSimRange)
    {
        SimItem itemMin;
        SimItem itemMax;
        SimItem itemStep;
        EffectiveRange(a_def, a_state, itemMin, itemMax, itemStep);
        a_con.m_u16ConType = TWON_RANGE;
        a_con.m_aItems = {ToUnits(a_def, itemMin), ToUnits(a_def, itemMax), ToUnits(a_def, itemStep), ToUnits(a_def, itemDef),
                          ToUnits(a_def, itemCur)};
        return;
    }
    a_con.m_u16ConType = TWON_ONEVALUE;
    a_con.m_aItems.push_back(ToUnits(a_def, itemCur));
}

SimCapResult CSimCaps::Get(TW_UINT16 a_u16Cap, TW_UINT16 a_u16Msg, SimContainer& a_con)
{
    a_con = SimContainer();
    const SimCapDef* pdef = Find(a_u16Cap);
    if (pdef == nullptr)
    {
        return Fail(TWCC_CAPUNSUPPORTED);
    }
    const SimCapDef& def = *pdef;
    if (a_u16Msg == MSG_QUERYSUPPORT)
    {
        a_con.m_u16ConType = TWON_ONEVALUE;
        a_con.m_u16ItemType = TWTY_INT32;
        a_con.m_aItems.push_back(SimInt(static_cast<std::int64_t>(QueryFlags(def))));
        return Done(false);
    }
    TW_UINT32 u32Flags = AllowedFlags(def);
    TW_UINT32 u32Need = (a_u16Msg == MSG_GET) ? TWQC_GET : (a_u16Msg == MSG_GETCURRENT) ? TWQC_GETCURRENT : TWQC_GETDEFAULT;
    if ((u32Flags & u32Need) == 0)
    {
        return Fail(TWCC_CAPBADOPERATION);
    }
    if (!RequirementMet(def))
    {
        return Fail(TWCC_CAPSEQERROR);
    }
    State& state = StateOf(def);
    RefreshLive(def, state);
    if (a_u16Msg == MSG_GET)
    {
        BuildGet(def, state, a_con);
        return Done(false);
    }
    a_con.m_u16ItemType = def.m_u16Type;
    if (def.m_eShape == eSimArray)
    {
        a_con.m_u16ConType = TWON_ARRAY;
        // A read-only list without a default of its own (such as the
        // supported capabilities) defaults to what it holds.
        bool blCurrent = (a_u16Msg == MSG_GETCURRENT) || (def.m_blReadOnly && def.m_aDefault.empty());
        const std::vector<SimItem>& aitem = blCurrent ? state.m_aCurrent : def.m_aDefault;
        for (const SimItem& item : aitem)
        {
            a_con.m_aItems.push_back(ToUnits(def, item));
        }
        return Done(false);
    }
    a_con.m_u16ConType = TWON_ONEVALUE;
    SimItem item = (a_u16Msg == MSG_GETCURRENT) ? (state.m_aCurrent.empty() ? SimItem() : state.m_aCurrent[0])
                                                 : (def.m_blFree ? def.m_aDefault[0] : DefaultOf(def, ScopeKey(def)));
    a_con.m_aItems.push_back(ToUnits(def, item));
    return Done(false);
}

SimCapResult CSimCaps::Texts(TW_UINT16 a_u16Cap, TW_UINT16 a_u16Msg, SimContainer& a_con)
{
    const SimCapDef* pdef = Find(a_u16Cap);
    if (pdef == nullptr)
    {
        return Fail(TWCC_CAPUNSUPPORTED);
    }
    TW_UINT32 u32Need = (a_u16Msg == MSG_GETHELP) ? TWQC_GETHELP : (a_u16Msg == MSG_GETLABEL) ? TWQC_GETLABEL : TWQC_GETLABELENUM;
    if ((QueryFlags(*pdef) & u32Need) == 0)
    {
        return Fail(TWCC_CAPBADOPERATION);
    }
    // The label from the name: "ICAP_PIXELTYPE" is "Pixeltype".
    std::string szName = SimNameOf(eSimNameCap, a_u16Cap);
    std::string szLabel = szName.substr(szName.find('_') + 1);
    std::transform(szLabel.begin(), szLabel.end(), szLabel.begin(),
                   [](char a_c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(a_c))); });
    szLabel[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(szLabel[0])));
    a_con.m_u16ItemType = TWTY_STR255;
    if (a_u16Msg != MSG_GETLABELENUM)
    {
        a_con.m_u16ConType = TWON_ONEVALUE;
        std::string szText = szLabel;
        if (a_u16Msg == MSG_GETHELP)
        {
            szText += std::string(pdef->m_blReadOnly ? ": reports " : ": sets and reports ") + szName + ".";
        }
        a_con.m_aItems.push_back(SimStr(szText.substr(0, 255)));
        return Done(false);
    }
    SimContainer conGet;
    SimCapResult result = Get(a_u16Cap, MSG_GET, conGet);
    if (result.m_u16Rc == TWRC_FAILURE)
    {
        return result;
    }
    a_con.m_u16ConType = TWON_ARRAY;
    for (const SimItem& item : conGet.m_aItems)
    {
        a_con.m_aItems.push_back(SimStr(SimItemText(conGet.m_u16ItemType, item).substr(0, 255)));
    }
    return Done(false);
}

void CSimCaps::Store(const SimCapDef& a_def, State& a_stateNew)
{
    int iKey = ScopeKey(a_def);
    if (a_def.m_eScope == eSimScopeCamera && iKey < 0)
    {
        // A request for all cameras sets every camera.
        for (auto it = m_mapState.begin(); it != m_mapState.end();)
        {
            it = (it->first.first == a_def.m_u16Cap) ? m_mapState.erase(it) : std::next(it);
        }
        m_setExplicitRoot.insert(a_def.m_u16Cap);
    }
    m_mapState[std::make_pair(a_def.m_u16Cap, iKey)] = a_stateNew;
    ApplyLinks(a_def.m_u16Cap);
}

void CSimCaps::ApplyLinks(TW_UINT16 a_u16KeyCap)
{
    for (const SimCapDef& def : m_adef)
    {
        bool blLinked = false;
        for (const SimCapLink& link : def.m_aLinks)
        {
            blLinked = blLinked || link.m_u16KeyCap == a_u16KeyCap;
        }
        if (!blLinked || &def == Find(a_u16KeyCap))
        {
            continue;
        }
        // The dependent keeps its value when still allowed; its constraint goes.
        State& state = StateOf(def);
        std::vector<SimItem> aitem = BaseList(def);
        bool blAllowed = false;
        for (const SimItem& item : aitem)
        {
            blAllowed = blAllowed || (!state.m_aCurrent.empty() && SimItemEqual(def.m_u16Type, item, state.m_aCurrent[0]));
        }
        state.m_blConstrained = false;
        if (!blAllowed)
        {
            state.m_aCurrent.assign(1, DefaultOf(def, ScopeKey(def)));
        }
    }
}

SimCapResult CSimCaps::Set(TW_UINT16 a_u16Cap, TW_UINT16 a_u16Msg, const SimContainer& a_con)
{
    const SimCapDef* pdef = Find(a_u16Cap);
    if (pdef == nullptr)
    {
        return Fail(TWCC_CAPUNSUPPORTED);
    }
    const SimCapDef& def = *pdef;
    bool blConstraint = (a_u16Msg == MSG_SETCONSTRAINT);
    if (blConstraint && !m_blConstraintMsg)
    {
        return Fail(TWCC_BADPROTOCOL);
    }
    TW_UINT32 u32Flags = AllowedFlags(def);
    if ((u32Flags & (blConstraint ? TWQC_SETCONSTRAINT : TWQC_SET)) == 0)
    {
        return Fail(TWCC_CAPBADOPERATION);
    }
    if (!RequirementMet(def))
    {
        return Fail(TWCC_CAPSEQERROR);
    }
    if (a_con.m_u16ItemType != def.m_u16Type ||
        (a_con.m_aItems.empty() && (a_con.m_u16ConType == TWON_ONEVALUE || a_con.m_u16ConType == TWON_RANGE)))
    {
        return Fail(TWCC_BADVALUE);
    }
    State& stateOld = StateOf(def);
    State state = stateOld;
    bool blAdjusted = false;
    std::vector<SimItem> aitemIn;
    for (const SimItem& item : a_con.m_aItems)
    {
        aitemIn.push_back(FromUnits(def, item));
    }
    switch (a_con.m_u16ConType)
    {
        case TWON_ONEVALUE:
        {
            SimItem item = aitemIn[0];
            if (def.m_eShape == eSimArray)
            {
                if (!def.m_aValues.empty() && FindInList(def, def.m_aValues, a_con.m_aItems[0]) < 0)
                {
                    return Fail(TWCC_BADVALUE);
                }
                state.m_aCurrent.assign(1, item);
                break;
            }
            if (def.m_blFree || def.m_eShape == eSimOneValue)
            {
                if (!ValidFree(def, item, blAdjusted))
                {
                    return Fail(TWCC_BADVALUE);
                }
                state.m_aCurrent.assign(1, item);
                break;
            }
            if (def.m_eShape == eSimEnum)
            {
                std::vector<SimItem> aitem = blConstraint ? BaseList(def) : EffectiveList(def, state);
                int iIndex = FindInList(def, aitem, a_con.m_aItems[0]);
                if (iIndex < 0)
                {
                    return Fail(TWCC_BADVALUE);
                }
                item = aitem[iIndex];
                if (blConstraint)
                {
                    state.m_blConstrained = true;
                    state.m_blConRange = false;
                    state.m_aConList.assign(1, item);
                }
                state.m_aCurrent.assign(1, item);
                break;
            }
            // Range: the value is rounded to the nearest step.
            SimItem itemMin;
            SimItem itemMax;
            SimItem itemStep;
            if (blConstraint)
            {
                itemMin = def.m_min;
                itemMax = def.m_max;
                itemStep = def.m_step;
            }
            else
            {
                EffectiveRange(def, state, itemMin, itemMax, itemStep);
            }
            if (SimItemCompare(item, itemMin) < 0 || SimItemCompare(item, itemMax) > 0)
            {
                return Fail(TWCC_BADVALUE);
            }
            std::int64_t i64 = RoundToGrid(item.m_i64, itemMin.m_i64, itemStep.m_i64);
            if (i64 > itemMax.m_i64)
            {
                i64 -= itemStep.m_i64;
            }
            blAdjusted = (i64 != item.m_i64);
            item.m_i64 = i64;
            if (blConstraint)
            {
                state.m_blConstrained = true;
                state.m_blConRange = true;
                state.m_conMin = item;
                state.m_conMax = item;
                state.m_conStep = def.m_step;
            }
            state.m_aCurrent.assign(1, item);
            break;
        }
        case TWON_ENUMERATION:
        {
            if (def.m_blFree)
            {
                if (aitemIn.empty() || aitemIn.size() > def.m_u64MaxItems)
                {
                    return Fail(TWCC_BADVALUE);
                }
                for (SimItem& item : aitemIn)
                {
                    if (!ValidFree(def, item, blAdjusted))
                    {
                        return Fail(TWCC_BADVALUE);
                    }
                }
                state.m_aCurrent = aitemIn;
                break;
            }
            if (def.m_eShape != eSimEnum && def.m_eShape != eSimRange)
            {
                return Fail(TWCC_CAPBADOPERATION);
            }
            if (a_con.m_u64CurrentIndex >= a_con.m_aItems.size())
            {
                return Fail(TWCC_BADVALUE);
            }
            std::vector<SimItem> aitemBase;
            ListIndex indexBase;
            if (def.m_eShape == eSimEnum)
            {
                aitemBase = BaseList(def);
                indexBase = IndexList(def, aitemBase);
            }
            std::vector<SimItem> aitemCon;
            ItemSet setCon(ItemLess{def.m_u16Type});
            SimItem itemCur;
            bool blCur = false;
            for (std::size_t ii = 0; ii < a_con.m_aItems.size(); ii++)
            {
                SimItem item = aitemIn[ii];
                bool blOk = false;
                if (def.m_eShape == eSimEnum)
                {
                    int iIndex = FindInIndex(def, indexBase, a_con.m_aItems[ii]);
                    blOk = iIndex >= 0;
                    if (blOk)
                    {
                        item = aitemBase[iIndex];
                    }
                }
                else
                {
                    blOk = SimItemCompare(item, def.m_min) >= 0 && SimItemCompare(item, def.m_max) <= 0 &&
                           OnGrid(item, def.m_min, def.m_step);
                }
                if (!blOk || !setCon.insert(item).second)
                {
                    blAdjusted = true;   // not the device's, or twice
                }
                else
                {
                    aitemCon.push_back(item);
                }
                if (ii == a_con.m_u64CurrentIndex)
                {
                    blCur = blOk;
                    itemCur = item;
                }
            }
            if (aitemCon.empty() || !blCur)
            {
                return Fail(TWCC_BADVALUE);
            }
            state.m_blConstrained = true;
            state.m_blConRange = false;
            state.m_aConList = aitemCon;
            state.m_aCurrent.assign(1, itemCur);
            break;
        }
        case TWON_RANGE:
        {
            if (def.m_blFree || (def.m_eShape != eSimEnum && def.m_eShape != eSimRange))
            {
                return Fail(TWCC_CAPBADOPERATION);
            }
            SimItem itemMin = aitemIn[0];
            SimItem itemMax = aitemIn[1];
            SimItem itemStep = aitemIn[2];
            SimItem itemCur = aitemIn[4];
            if (itemMin.m_i64 > itemMax.m_i64 || (itemStep.m_i64 <= 0 && itemMin.m_i64 != itemMax.m_i64) ||
                itemCur.m_i64 < itemMin.m_i64 || itemCur.m_i64 > itemMax.m_i64)
            {
                return Fail(TWCC_BADVALUE);
            }
            if (def.m_eShape == eSimEnum)
            {
                std::vector<SimItem> aitemCon;
                bool blCur = false;
                for (const SimItem& item : BaseList(def))
                {
                    if (item.m_i64 >= itemMin.m_i64 && item.m_i64 <= itemMax.m_i64 &&
                        (itemStep.m_i64 <= 0 || std::llabs((item.m_i64 - itemMin.m_i64) % itemStep.m_i64) <= 1 ||
                         std::llabs((item.m_i64 - itemMin.m_i64) % itemStep.m_i64 - itemStep.m_i64) <= 1))
                    {
                        aitemCon.push_back(item);
                        if (std::llabs(item.m_i64 - itemCur.m_i64) <= 1)
                        {
                            itemCur = item;
                            blCur = true;
                        }
                    }
                }
                if (aitemCon.empty() || !blCur)
                {
                    return Fail(TWCC_BADVALUE);
                }
                state.m_blConstrained = true;
                state.m_blConRange = false;
                state.m_aConList = aitemCon;
                state.m_aCurrent.assign(1, itemCur);
                blAdjusted = true;   // the range became a list
                break;
            }
            // A sub-range of the device's range, on the device's steps.
            std::int64_t i64Step = (itemStep.m_i64 <= 0) ? def.m_step.m_i64 : itemStep.m_i64;
            if (def.m_step.m_i64 > 0 && i64Step % def.m_step.m_i64 != 0)
            {
                i64Step = (i64Step / def.m_step.m_i64 + 1) * def.m_step.m_i64;
                blAdjusted = true;
            }
            std::int64_t i64Min = std::max(itemMin.m_i64, def.m_min.m_i64);
            std::int64_t i64Max = std::min(itemMax.m_i64, def.m_max.m_i64);
            std::int64_t i64Grid = RoundToGrid(i64Min, def.m_min.m_i64, def.m_step.m_i64);
            if (i64Grid < i64Min)
            {
                i64Grid += def.m_step.m_i64;
            }
            if (i64Grid != itemMin.m_i64 || i64Max != itemMax.m_i64)
            {
                blAdjusted = true;
            }
            i64Min = i64Grid;
            if (i64Min > i64Max)
            {
                return Fail(TWCC_BADVALUE);
            }
            if (i64Step > 0)
            {
                std::int64_t i64Top = i64Min + ((i64Max - i64Min) / i64Step) * i64Step;
                blAdjusted = blAdjusted || (i64Top != i64Max);
                i64Max = i64Top;
            }
            std::int64_t i64Cur = RoundToGrid(std::max(std::min(itemCur.m_i64, i64Max), i64Min), i64Min, i64Step);
            if (i64Cur > i64Max)
            {
                i64Cur -= i64Step;
            }
            blAdjusted = blAdjusted || (i64Cur != itemCur.m_i64);
            state.m_blConstrained = true;
            state.m_blConRange = true;
            state.m_conMin = SimInt(i64Min);
            state.m_conMax = SimInt(i64Max);
            state.m_conStep = SimInt(i64Step);
            state.m_aCurrent.assign(1, SimInt(i64Cur));
            break;
        }
        case TWON_ARRAY:
        {
            if (def.m_eShape != eSimArray || blConstraint)
            {
                return Fail(TWCC_CAPBADOPERATION);
            }
            ListIndex indexValues = IndexList(def, def.m_aValues);
            for (std::size_t ii = 0; ii < aitemIn.size(); ii++)
            {
                if (!def.m_aValues.empty() ? FindInIndex(def, indexValues, a_con.m_aItems[ii]) < 0
                                           : !ValidFree(def, aitemIn[ii], blAdjusted))
                {
                    return Fail(TWCC_BADVALUE);
                }
            }
            state.m_aCurrent = aitemIn;
            break;
        }
        default:
            return Fail(TWCC_BADVALUE);
    }
    Store(def, state);
    return Done(blAdjusted);
}

SimCapResult CSimCaps::Reset(TW_UINT16 a_u16Cap, SimContainer& a_con)
{
    a_con = SimContainer();
    const SimCapDef* pdef = Find(a_u16Cap);
    if (pdef == nullptr)
    {
        return Fail(TWCC_CAPUNSUPPORTED);
    }
    if ((AllowedFlags(*pdef) & TWQC_RESET) == 0)
    {
        return Fail(TWCC_CAPBADOPERATION);
    }
    if (!RequirementMet(*pdef))
    {
        return Fail(TWCC_CAPSEQERROR);
    }
    int iKey = ScopeKey(*pdef);
    if (pdef->m_eScope == eSimScopeCamera && iKey < 0)
    {
        // A reset for all cameras resets every camera to its own default.
        for (auto it = m_mapState.begin(); it != m_mapState.end();)
        {
            it = (it->first.first == pdef->m_u16Cap) ? m_mapState.erase(it) : std::next(it);
        }
        m_setExplicitRoot.erase(pdef->m_u16Cap);
    }
    else
    {
        m_mapState.erase(std::make_pair(pdef->m_u16Cap, iKey));
    }
    ApplyLinks(pdef->m_u16Cap);
    // MSG_RESET answers like MSG_GET, with the values after the reset.
    BuildGet(*pdef, StateOf(*pdef), a_con);
    return Done(false);
}

void CSimCaps::ResetAll()
{
    m_mapState.clear();
    m_setExplicitRoot.clear();
}

SimItem CSimCaps::Current(TW_UINT16 a_u16Cap)
{
    const SimCapDef* pdef = Find(a_u16Cap);
    if (pdef == nullptr)
    {
        return SimItem();
    }
    State& state = StateOf(*pdef);
    RefreshLive(*pdef, state);
    return state.m_aCurrent.empty() ? SimItem() : state.m_aCurrent[0];
}

std::vector<SimItem> CSimCaps::CurrentList(TW_UINT16 a_u16Cap)
{
    const SimCapDef* pdef = Find(a_u16Cap);
    if (pdef == nullptr)
    {
        return std::vector<SimItem>();
    }
    State& state = StateOf(*pdef);
    RefreshLive(*pdef, state);
    return state.m_aCurrent;
}

std::int64_t CSimCaps::CurrentInt(TW_UINT16 a_u16Cap, std::int64_t a_i64Default)
{
    const SimCapDef* pdef = Find(a_u16Cap);
    if (pdef == nullptr)
    {
        return a_i64Default;
    }
    State& state = StateOf(*pdef);
    return state.m_aCurrent.empty() ? a_i64Default : state.m_aCurrent[0].m_i64;
}

SimCapResult CSimCaps::SetInternal(TW_UINT16 a_u16Cap, const std::vector<SimItem>& a_aitem)
{
    const SimCapDef* pdef = Find(a_u16Cap);
    if (pdef == nullptr || a_aitem.empty())
    {
        return Fail(TWCC_BADVALUE);
    }
    SimContainer con;
    con.m_u16ItemType = pdef->m_u16Type;
    con.m_u16ConType = (pdef->m_blFree && a_aitem.size() > 1) ? TWON_ENUMERATION : TWON_ONEVALUE;
    for (const SimItem& item : a_aitem)
    {
        con.m_aItems.push_back(ToUnits(*pdef, item));
    }
    return Set(a_u16Cap, MSG_SET, con);
}

bool CSimCaps::ReplaceValues(TW_UINT16 a_u16Cap, const std::vector<SimItem>& a_aitem)
{
    auto it = m_mapIndex.find(a_u16Cap);
    if (it == m_mapIndex.end() || a_aitem.empty() || m_adef[it->second].m_eShape != eSimEnum)
    {
        return false;
    }
    SimItem itemCurrent = Current(a_u16Cap);
    SimCapDef& def = m_adef[it->second];
    def.m_aValues = a_aitem;
    bool blKept = false;
    bool blDefault = false;
    for (const SimItem& item : a_aitem)
    {
        blKept = blKept || item.m_i64 == itemCurrent.m_i64;
        blDefault = blDefault || (!def.m_aDefault.empty() && item.m_i64 == def.m_aDefault[0].m_i64);
    }
    if (!blDefault)
    {
        def.m_aDefault = {a_aitem[0]};
    }
    for (auto itState = m_mapState.begin(); itState != m_mapState.end();)
    {
        itState = (itState->first.first == a_u16Cap) ? m_mapState.erase(itState) : std::next(itState);
    }
    if (blKept)
    {
        SetInternal(a_u16Cap, {itemCurrent});
    }
    return true;
}

SimItem CSimCaps::FrameToUnits(const SimItem& a_item)
{
    SimCapDef def;
    def.m_eKind = eSimFrameKind;
    def.m_u16Type = TWTY_FRAME;
    return ToUnits(def, a_item);
}

SimItem CSimCaps::FrameFromUnits(const SimItem& a_item)
{
    SimCapDef def;
    def.m_eKind = eSimFrameKind;
    def.m_u16Type = TWTY_FRAME;
    return FromUnits(def, a_item);
}

std::string CSimCaps::SaveText()
{
    std::ostringstream oss;
    for (const auto& pair : m_mapState)
    {
        const SimCapDef* pdef = Find(pair.first.first);
        if (pdef == nullptr || pdef->m_blReadOnly)
        {
            continue;
        }
        oss << pair.first.first << ' ' << pair.first.second << ' ' << pair.second.m_aCurrent.size();
        for (const SimItem& item : pair.second.m_aCurrent)
        {
            oss << ' ' << item.m_i64;
            for (int ii = 0; ii < 4; ii++)
            {
                oss << ' ' << item.m_ai32Frame[ii];
            }
            oss << ' ' << item.m_i64Angle << ' ' << item.m_sz.size() << ':' << item.m_sz;
        }
        oss << '\n';
    }
    return oss.str();
}

bool CSimCaps::LoadText(const std::string& a_szText)
{
    std::istringstream iss(a_szText);
    std::map<std::pair<TW_UINT16, int>, State> mapState;
    unsigned int uCap = 0;
    int iKey = 0;
    std::size_t uCount = 0;
    while (iss >> uCap >> iKey >> uCount)
    {
        const SimCapDef* pdef = Find(static_cast<TW_UINT16>(uCap));
        if (pdef == nullptr || uCount > kSimMaxItems)
        {
            return false;
        }
        State state;
        for (std::size_t ii = 0; ii < uCount; ii++)
        {
            SimItem item;
            std::size_t uLen = 0;
            char ch = 0;
            iss >> item.m_i64;
            for (int jj = 0; jj < 4; jj++)
            {
                iss >> item.m_ai32Frame[jj];
            }
            iss >> item.m_i64Angle >> uLen >> ch;
            if (!iss || ch != ':' || uLen > 1026)
            {
                return false;
            }
            item.m_sz.resize(uLen);
            iss.read(&item.m_sz[0], static_cast<std::streamsize>(uLen));
            state.m_aCurrent.push_back(item);
        }
        if (!iss)
        {
            return false;
        }
        mapState[std::make_pair(static_cast<TW_UINT16>(uCap), iKey)] = state;
    }
    if (!iss.eof())
    {
        return false;
    }
    m_mapState = mapState;
    return true;
}

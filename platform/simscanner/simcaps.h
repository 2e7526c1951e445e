// simcaps.h
//
// The capability engine of the simulated scanner. Capabilities are data: a
// table of definitions (simcaptable.cpp, overridable by the configuration
// file) says for each capability its item type, the shape of its answer, the
// values it allows, its default, whether it is read-only, which other
// capability it needs and which values depend on another capability. The
// engine keeps the current value and the constraint of each capability and
// answers the DAT_CAPABILITY messages from them as the standard says.

#ifndef DRAVO_SIMCAPS_H
#define DRAVO_SIMCAPS_H

#include "simvalue.h"

#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

// Shape of a capability's MSG_GET answer.
enum ESimShape
{
    eSimOneValue = 0,   // TW_ONEVALUE of the current value
    eSimEnum = 1,       // TW_ENUMERATION of the allowed values
    eSimRange = 2,      // TW_RANGE of the allowed values
    eSimArray = 3,      // TW_ARRAY (of the allowed values, or of the current list)
};

// What the values measure; lengths and resolutions follow ICAP_UNITS. The
// engine keeps them in inches and dots per inch.
enum ESimKind
{
    eSimPlain,
    eSimLengthX,
    eSimLengthY,
    eSimFrameKind,      // left/right horizontal, top/bottom vertical lengths
    eSimResolution,
};

// Where the state of a capability lives: once for the device, once per
// DAT_FILESYSTEM camera, or once per CAP_WINDOWCAMERA window.
enum ESimScope
{
    eSimScopeDevice,
    eSimScopeCamera,
    eSimScopeWindow,
};

// While capability m_u16KeyCap holds m_i64KeyValue, the dependent capability
// allows m_aAllowed and defaults to m_def.
struct SimCapLink
{
    TW_UINT16            m_u16KeyCap = 0;
    std::int64_t         m_i64KeyValue = 0;
    std::vector<SimItem> m_aAllowed;
    SimItem              m_def;
};

struct SimCapDef
{
    TW_UINT16            m_u16Cap = 0;
    TW_UINT16            m_u16Type = 0;
    ESimShape            m_eShape = eSimOneValue;
    std::vector<SimItem> m_aValues;       // enumeration list; array: allowed items (empty: any)
    SimItem              m_min;           // range, or limits of a one-value
    SimItem              m_max;
    SimItem              m_step;
    bool                 m_blLimits = false;   // a one-value checks m_min..m_max
    std::vector<SimItem> m_aForbid;       // one-value values refused although in the limits
    std::vector<SimItem> m_aDefault;      // default (one item; an array or a free enumeration: a list)
    bool                 m_blReadOnly = false;
    bool                 m_blFree = false;     // enumeration whose items are its current values (frames)
    std::uint64_t        m_u64MaxItems = 1;    // most items of a free enumeration
    ESimKind             m_eKind = eSimPlain;
    ESimScope            m_eScope = eSimScopeDevice;
    TW_UINT16            m_u16RequireCap = 0;  // TWCC_CAPSEQERROR unless that capability ...
    std::int64_t         m_i64RequireValue = 0; // ... holds this value
    std::vector<SimCapLink> m_aLinks;
    std::vector<std::pair<int, SimItem>> m_aScopeDefaults;   // default per camera or window
    bool                 m_blQueryOverride = false;
    bool                 m_blLenient = false;   // MSG_SET keeps any container as sent (see CSimSession)
    TW_UINT32            m_u32Query = 0;
};

// The condition of one capability request.
struct SimCapResult
{
    TW_UINT16 m_u16Rc = TWRC_SUCCESS;
    TW_UINT16 m_u16Cc = TWCC_SUCCESS;
};

class CSimCaps
{
public:
    // Live values: the session answers for capabilities whose current value it
    // computes (feeder loaded, supported data argument types, ...). Returns
    // true when it filled the list.
    typedef std::function<bool(TW_UINT16, std::vector<SimItem>&)> PfnLive;

    void Setup(const std::vector<SimCapDef>& a_adef, TW_UINT16 a_u16ProtocolMajor, TW_UINT16 a_u16ProtocolMinor);
    void SetLive(PfnLive a_pfnLive) { m_pfnLive = a_pfnLive; }
    // Bits added to every MSG_QUERYSUPPORT answer (this program's own sources
    // add TWQC_MACHINE to device-wide capabilities).
    void SetQueryExtra(TW_UINT32 a_u32Extra) { m_u32QueryExtra = a_u32Extra; }

    const SimCapDef* Find(TW_UINT16 a_u16Cap) const;
    std::vector<TW_UINT16> SupportedCaps() const;

    // DAT_CAPABILITY messages. a_con is the answer (MSG_GET, MSG_GETCURRENT,
    // MSG_GETDEFAULT, MSG_RESET, MSG_QUERYSUPPORT) or the request (MSG_SET,
    // MSG_SETCONSTRAINT).
    SimCapResult Get(TW_UINT16 a_u16Cap, TW_UINT16 a_u16Msg, SimContainer& a_con);
    SimCapResult Set(TW_UINT16 a_u16Cap, TW_UINT16 a_u16Msg, const SimContainer& a_con);
    SimCapResult Reset(TW_UINT16 a_u16Cap, SimContainer& a_con);
    // The texts of MSG_GETHELP and MSG_GETLABEL (a one-value) and of
    // MSG_GETLABELENUM (an array, one label per item of the enumeration
    // MSG_GET answers), TWTY_STR255 in UTF-8: only capabilities with a name
    // of their own have them.
    SimCapResult Texts(TW_UINT16 a_u16Cap, TW_UINT16 a_u16Msg, SimContainer& a_con);
    void ResetAll();

    // Values in the engine's own units (inches, dots per inch), for the
    // session's image settings.
    SimItem Current(TW_UINT16 a_u16Cap);
    std::vector<SimItem> CurrentList(TW_UINT16 a_u16Cap);
    std::int64_t CurrentInt(TW_UINT16 a_u16Cap, std::int64_t a_i64Default);
    // Sets a value as the device itself would (DAT_IMAGELAYOUT, DAT_SETUPFILEXFER);
    // the value must be allowed. Returns the condition like Set.
    SimCapResult SetInternal(TW_UINT16 a_u16Cap, const std::vector<SimItem>& a_aitem);
    // Replaces the values an enumeration allows (camera windows added and
    // deleted); its constraint goes, its current value stays when allowed.
    bool ReplaceValues(TW_UINT16 a_u16Cap, const std::vector<SimItem>& a_aitem);

    // Unit conversion of lengths for DAT_IMAGELAYOUT (engine units <-> ICAP_UNITS).
    SimItem FrameToUnits(const SimItem& a_item);
    SimItem FrameFromUnits(const SimItem& a_item);

    // The camera (index into the camera list, -1 for all cameras) whose
    // settings the requests address.
    void SetCamera(int a_iCamera) { m_iCamera = a_iCamera; }
    int  GetCamera() const { return m_iCamera; }

    // Saved settings (DAT_CUSTOMDSDATA): one text line per changed value.
    std::string SaveText();
    bool LoadText(const std::string& a_szText);

private:
    struct State
    {
        bool                 m_blConstrained = false;
        bool                 m_blConRange = false;
        std::vector<SimItem> m_aConList;
        SimItem              m_conMin;
        SimItem              m_conMax;
        SimItem              m_conStep;
        std::vector<SimItem> m_aCurrent;
    };

    int   ScopeKey(const SimCapDef& a_def);
    State& StateOf(const SimCapDef& a_def);
    State& StateAt(const SimCapDef& a_def, int a_iKey);
    void  InitState(const SimCapDef& a_def, int a_iKey, State& a_state);
    void  RefreshLive(const SimCapDef& a_def, State& a_state);
    const SimCapLink* ActiveLink(const SimCapDef& a_def);
    std::vector<SimItem> BaseList(const SimCapDef& a_def);
    std::vector<SimItem> EffectiveList(const SimCapDef& a_def, State& a_state);
    SimItem DefaultOf(const SimCapDef& a_def, int a_iKey);
    void  EffectiveRange(const SimCapDef& a_def, State& a_state, SimItem& a_min, SimItem& a_max, SimItem& a_step);
    TW_UINT32 QueryFlags(const SimCapDef& a_def) const;     // what MSG_QUERYSUPPORT reports
    TW_UINT32 AllowedFlags(const SimCapDef& a_def) const;   // what the capability allows
    bool  Constrainable(const SimCapDef& a_def) const;
    bool  RequirementMet(const SimCapDef& a_def);

    double UnitFactor(const SimCapDef& a_def, int a_iEdge);
    SimItem ToUnits(const SimCapDef& a_def, const SimItem& a_item);
    SimItem FromUnits(const SimCapDef& a_def, const SimItem& a_item);
    int  FindInList(const SimCapDef& a_def, const std::vector<SimItem>& a_alist, const SimItem& a_itemUnits);
    // A list in the application's units, ordered by value (then position),
    // for lookups in long lists; FindInIndex gives the first position.
    typedef std::vector<std::pair<SimItem, std::size_t>> ListIndex;
    ListIndex IndexList(const SimCapDef& a_def, const std::vector<SimItem>& a_alist);
    int  FindInIndex(const SimCapDef& a_def, const ListIndex& a_index, const SimItem& a_itemUnits) const;
    bool ValidFree(const SimCapDef& a_def, SimItem& a_item, bool& a_blAdjusted);
    bool OnGrid(const SimItem& a_item, const SimItem& a_min, const SimItem& a_step);
    void ApplyLinks(TW_UINT16 a_u16KeyCap);
    void Store(const SimCapDef& a_def, State& a_stateNew);
    void BuildGet(const SimCapDef& a_def, State& a_state, SimContainer& a_con);

    std::vector<SimCapDef>               m_adef;
    std::map<TW_UINT16, std::size_t>     m_mapIndex;
    std::map<std::pair<TW_UINT16, int>, State> m_mapState;
    std::set<TW_UINT16>                  m_setExplicitRoot;   // camera settings made for all cameras
    PfnLive                              m_pfnLive;
    int                                  m_iCamera = -1;
    TW_UINT32                            m_u32QueryExtra = 0;
    bool                                 m_blConstraintMsg = true;   // MSG_SETCONSTRAINT known (2.2 and later)
    bool                                 m_blTextMsgs = true;        // MSG_GETHELP and the labels (2.1 and later)
};

#endif // DRAVO_SIMCAPS_H

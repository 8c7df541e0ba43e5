// InitAI: registration of this nation's unit types and upgrades, the cavalry draw and the
// economy settings, in the order the game receives them.
#include <cstddef>
#include <cstdio>

#include "handles.h"
#include "host.h"
#include "plugin.h"
#include "tick.h"

namespace denmark {

UnitHandles Units;
UpgradeHandles Upgrades;

const char* const kUpgradeSuffixes[kSuffixCount] = {
    "ATTACK", "ATTACK3", "ATTACK4", "ATTACK5", "ATTACK6", "ATTACK7",
    "SHIELD", "SHIELD3", "SHIELD4", "SHIELD5", "SHIELD6", "SHIELD7",
};

namespace {

struct Registration {
    HostHandle* handle;
    const char* name;
};

template <std::size_t N>
void RegisterUnitTypes(const Registration (&list)[N]) {
    for (const Registration& r : list)
        if (HostFunctions.RegisterUnitType) HostFunctions.RegisterUnitType(r.handle, r.name);
}

template <std::size_t N>
void RegisterUpgrades(const Registration (&list)[N]) {
    for (const Registration& r : list)
        if (HostFunctions.RegisterUpgrade) HostFunctions.RegisterUpgrade(r.handle, r.name);
}

// One static buffer: each result is passed on at once and overwritten by the next call.
const char* JoinName(const char* base, const char* suffix) {
    static char buffer[200];
    std::snprintf(buffer, sizeof buffer, "%s%s", base, suffix);
    return buffer;
}

constexpr UnitHandles& U = Units;
constexpr UpgradeHandles& G = Upgrades;

const Registration kFirstUpgrades[] = {
    {&G.KUZ04DA, "KUZ04DA"},
    {&G.AKA35DA, "AKA35DA"},
    {&G.AKA36DA, "AKA36DA"},
    {&G.AKA32DA, "AKA32DA"},
};

const Registration kDrummerShield[] = {{&G.Barabanshik_ev1_SHIELD, "Barabanshik_ev1(DA)SHIELD"}};

const Registration kDipUnits[] = {
    {&U.Strelec_Algir_DIP, "Strelec_Algir_DIP(DA)"},
    {&U.Kozak_loshad_DIP, "Kozak_loshad_DIP(DA)"},
    {&U.Officer_evro, "Officer_evro(DA)"},
};

const Registration kOfficerUpgrades[] = {
    {&G.Officer_evro_ATTACK, "Officer_evro(DA)ATTACK"},
    {&G.Officer_evro_SHIELD, "Officer_evro(DA)SHIELD"},
};

const Registration kMillAndSmithyUpgrades[] = {
    {&G.Melnica_GETRES, "Melnica(DA)GETRES"},
    {&G.Melnica_GETRES2, "Melnica(DA)GETRES2"},
    {&G.KUZ01DA, "KUZ01DA"},
};

// Attack and shield levels that a family has: all twelve, or up to a level.
const UpgradeSuffix kAllLevels[] = {kAttack, kAttack3, kAttack4, kAttack5, kAttack6, kAttack7,
                                    kShield, kShield3, kShield4, kShield5, kShield6, kShield7};
const UpgradeSuffix kPikemenLevels[] = {kAttack, kAttack3, kAttack4, kAttack5, kAttack6,
                                        kShield, kShield3, kShield4, kShield5, kShield6};
const UpgradeSuffix kMusketeerLevels[] = {kAttack, kAttack3, kAttack4, kShield, kShield3, kShield4};

const Registration kResearchUpgrades[] = {
    {&G.Pushka_BUILD[kBuild], "Pushka(DA)BUILD"},
    {&G.Pushka_BUILD[kBuild3], "Pushka(DA)BUILD3"},
    {&G.Pushka_BUILD[kBuild4], "Pushka(DA)BUILD4"},
    {&G.Pushka_BUILD[kBuild5], "Pushka(DA)BUILD5"},
    {&G.Pushka_BUILD[kBuild6], "Pushka(DA)BUILD6"},
    {&G.Mortira_BUILD[kBuild], "Mortira(DA)BUILD"},
    {&G.Mortira_BUILD[kBuild3], "Mortira(DA)BUILD3"},
    {&G.Mortira_BUILD[kBuild4], "Mortira(DA)BUILD4"},
    {&G.Mortira_BUILD[kBuild5], "Mortira(DA)BUILD5"},
    {&G.KUZ03DA, "KUZ03DA"},
    {&G.MAINDA, "MAINDA"},
    {&G.AKA06DA, "AKA06DA"},
    {&G.AKA01DA, "AKA01DA"},
    {&G.AKA02DA, "AKA02DA"},
    {&G.AKA03DA, "AKA03DA"},
    {&G.AKA04DA, "AKA04DA"},
    {&G.AKA08DA, "AKA08DA"},
    {&G.AKA23DA, "AKA23DA"},
    {&G.AKA24DA, "AKA24DA"},
    {&G.AKA31DA, "AKA31DA"},
    {&G.AKA33DA, "AKA33DA"},
    {&G.AKA12DA, "AKA12DA"},
    {&G.AKA13DA, "AKA13DA"},
    {&G.AKA14DA, "AKA14DA"},
    {&G.AKA15DA, "AKA15DA"},
    {&G.AKA11DA, "AKA11DA"},
    {&G.AKA10DA, "AKA10DA"},
    {&G.AKA30DA, "AKA30DA"},
    {&G.AKA07DA, "AKA07DA"},
    {&G.AKA20DA, "AKA20DA"},
    {&G.KUZ02DA, "KUZ02DA"},
    {&G.AKA09DA, "AKA09DA"},
    {&G.AKA05DA, "AKA05DA"},
    {&G.AKA28DA, "AKA28DA"},
    {&G.AKA29DA, "AKA29DA"},
    {&G.KUZ05DA, "KUZ05DA"},
    {&G.KUZ06DA, "KUZ06DA"},
    {&G.AKA34DA, "AKA34DA"},
    {&G.Bashnia_PAUSE[kPause], "Bashnia(DA)PAUSE"},
    {&G.Bashnia_PAUSE[kPause3], "Bashnia(DA)PAUSE3"},
    {&G.Bashnia_PAUSE[kPause4], "Bashnia(DA)PAUSE4"},
    {&G.Bashnia_PAUSE[kPause5], "Bashnia(DA)PAUSE5"},
    {&G.Bashnia_PAUSE[kPause6], "Bashnia(DA)PAUSE6"},
    {&G.Bashnia_PAUSE[kPause7], "Bashnia(DA)PAUSE7"},
};

const char* const kMineUpgradeNames[6] = {
    "shahta(DA)INSIDE",  "shahta(DA)INSIDE3", "shahta(DA)INSIDE4",
    "shahta(DA)INSIDE5", "shahta(DA)INSIDE6", "shahta(DA)INSIDE7",
};

// RegisterUpgrade of the unit type's name followed by each suffix, into the family's handles.
template <std::size_t N>
void RegisterUpgradeFamily(UpgradeFamily& family, const char* base, const UpgradeSuffix (&levels)[N]) {
    for (UpgradeSuffix s : levels)
        if (HostFunctions.RegisterUpgrade)
            HostFunctions.RegisterUpgrade(&family[s], JoinName(base, kUpgradeSuffixes[s]));
}

// The same with SafeRegisterUpgrade, always all twelve levels.
void SafeRegisterFamily(UpgradeFamily& family, const char* base) {
    for (UpgradeSuffix s : kAllLevels)
        host::SafeRegisterUpgrade(&family[s], JoinName(base, kUpgradeSuffixes[s]));
}

}  // namespace

void InitAI() {
    char cavalryName[48];
    char grenadierName[48];

    RegisterUpgrades(kFirstUpgrades);
    RegisterUnitTypes({{&U.Dragun, "Dragun(DA)"}});
    // Twice on purpose, into the same handles: the game receives each of the twelve dragoon
    // upgrade names twice in a row (24 calls, in the expected traces too), as it always has.
    // Folding the rounds into one changes what the game sees.
    RegisterUpgradeFamily(G.Dragun, "Dragun(DA)", kAllLevels);
    RegisterUpgradeFamily(G.Dragun, "Dragun(DA)", kAllLevels);
    RegisterUnitTypes({{&U.Dragun_18, "Dragun_18(DA)"}});
    // Twice on purpose as well, for the same reason.
    RegisterUpgradeFamily(G.Dragun_18, "Dragun_18(DA)", kAllLevels);
    RegisterUpgradeFamily(G.Dragun_18, "Dragun_18(DA)", kAllLevels);
    RegisterUnitTypes({{&U.Sveshenik_evro, "Sveshenik_evro(DA)"}});
    AINation = host::GetAINation();
    RegisterUpgrades(kDrummerShield);
    RegisterUnitTypes({{&U.Dragun_18_DIP, "Dragun_18_DIP(DA)"}});

    // Bits 1 and 2 of the draw: the value 2 (one game in four) picks dragoons, any other
    // the "Konni_Ricar(DA)" riders.
    const int32_t r = host::GetRandomIndex();
    std::snprintf(cavalryName, sizeof cavalryName, "%s", (r & 6) == 2 ? "Dragun(DA)" : "Konni_Ricar(DA)");
    std::snprintf(grenadierName, sizeof grenadierName, "%s", "Grenader(DA)");

    RegisterUnitTypes(kDipUnits);
    RegisterUpgrades(kOfficerUpgrades);
    RegisterUnitTypes({{&U.Barabanshik_ev1, "Barabanshik_ev1(DA)"}});
    host::AssignFormUnit("Pikiner_evro(DA)");

    const Registration armyUnits[] = {
        {&U.Pikiner_evro, "Pikiner_evro(DA)"},
        {&U.Kreposnoi_pruss, "Kreposnoi_pruss(DA)"},
        {&U.Grenader_DIP, "Grenader_DIP(DA)"},
        {&U.Mushketer_ev, "Mushketer_ev(DA)"},
        // When the draw picked dragoons, "Dragun(DA)" is registered a second time here, into a
        // handle of its own: on purpose, the game sees that name twice as a unit type.
        {&U.ChosenCavalry, cavalryName},
        {&U.Kirasir, "Kirasir(DA)"},
        {&U.Grenader, grenadierName},
        {&U.Pushka, "Pushka(DA)"},
        {&U.Mortira, "Mortira(DA)"},
        {&U.Mortira_b, "Mortira_b(DA)"},
        {&U.Lodka, "Lodka(DA)"},
        {&U.Europ, "Europ(DA)"},
        {&U.Melnica, "Melnica(DA)"},
        {&U.Kazarma_evro, "Kazarma_evro(DA)"},
        {&U.Kazarma, "Kazarma(DA)"},
        {&U.Sclad1, "Sclad1(DA)"},
        {&U.akademia_E, "akademia_E(DA)"},
        {&U.Konushnia_Swesair, "Konushnia_Swesair(DA)"},
        {&U.Dip_korpus, "Dip_korpus(DA)"},
        {&U.artileri_depo, "artileri_depo(DA)"},
        {&U.Rinok, "Rinok(DA)"},
        {&U.Bashnia, "Bashnia(DA)"},
        {&U.Kuznica, "Kuznica(DA)"},
        {&U.Cercov_Poland, "Cercov_Poland(DA)"},
        {&U.PorE, "PorE(DA)"},
        {&U.Fregat, "Fregat(DA)"},
        {&U.GALERA, "GALERA(DA)"},
        {&U.Linkor, "Linkor(DA)"},
        {&U.Yahta, "Yahta(DA)"},
        {&U.PERES_KOR, "PERES_KOR(DA)"},
    };
    RegisterUnitTypes(armyUnits);
    RegisterUpgrades(kMillAndSmithyUpgrades);
    RegisterUpgradeFamily(G.Pikiner_evro, "Pikiner_evro(DA)", kPikemenLevels);
    RegisterUpgradeFamily(G.Mushketer_ev, "Mushketer_ev(DA)", kMusketeerLevels);
    // With dragoons drawn, their twelve upgrade names reach the game a third time here (once
    // through SafeRegisterUpgrade), into the chosen cavalry's handles: on purpose.
    SafeRegisterFamily(G.ChosenCavalry, cavalryName);
    RegisterUpgradeFamily(G.Kirasir, "Kirasir(DA)", kAllLevels);
    SafeRegisterFamily(G.Grenader, grenadierName);
    RegisterUpgrades(kResearchUpgrades);

    host::SetPDistribution(9, 4, 4);
    host::AssignAmountOfMineUpgrades(6);
    for (int slot = 0; slot < 6; ++slot)
        host::AssignMineUpgrade(slot, kMineUpgradeNames[slot], slot == 0 ? 90 : 50);
    host::AssignPeasant("Kreposnoi_pruss(DA)");
    host::AssignMine("shahta(DA)");
    host::AssignHouse("Dom_Prussia(DA)");
    host::AssignWall("WALL_EV(DA)");
    host::SET_MINE_CAPTURE_RADIUS(290);
    host::SET_MINE_UPGRADE1_RADIUS(90);
    host::SET_MINE_UPGRADE2_RADIUS(90);
    host::SET_DEFAULT_MAX_WORKERS(300);
    host::SET_MIN_PEASANT_BRIGADE(5);
}

}  // namespace denmark

// The handles that InitAI registers, one per unit type and upgrade the AI logic names.
#pragma once

#include "zorm_host_abi.h"

namespace denmark {

// Suffixes of a unit type's attack and shield upgrades; index into the 12-handle families.
enum UpgradeSuffix {
    kAttack,
    kAttack3,
    kAttack4,
    kAttack5,
    kAttack6,
    kAttack7,
    kShield,
    kShield3,
    kShield4,
    kShield5,
    kShield6,
    kShield7,
    kSuffixCount
};
extern const char* const kUpgradeSuffixes[kSuffixCount];

using UpgradeFamily = HostHandle[kSuffixCount];

struct UnitHandles {
    HostHandle Dragun;             // "Dragun(DA)"
    HostHandle Dragun_18;          // "Dragun_18(DA)"
    HostHandle Sveshenik_evro;     // "Sveshenik_evro(DA)"
    HostHandle Dragun_18_DIP;      // "Dragun_18_DIP(DA)"
    HostHandle Strelec_Algir_DIP;  // "Strelec_Algir_DIP(DA)"
    HostHandle Kozak_loshad_DIP;   // "Kozak_loshad_DIP(DA)"
    HostHandle Officer_evro;       // "Officer_evro(DA)"
    HostHandle Barabanshik_ev1;    // "Barabanshik_ev1(DA)"
    HostHandle Pikiner_evro;       // "Pikiner_evro(DA)"
    HostHandle Kreposnoi_pruss;    // "Kreposnoi_pruss(DA)", the peasant
    HostHandle Grenader_DIP;       // "Grenader_DIP(DA)"
    HostHandle Mushketer_ev;       // "Mushketer_ev(DA)"
    HostHandle ChosenCavalry;      // the cavalry picked at set-up, a handle of its own
    HostHandle Kirasir;            // "Kirasir(DA)"
    HostHandle Grenader;           // "Grenader(DA)"
    HostHandle Pushka;             // "Pushka(DA)"
    HostHandle Mortira;            // "Mortira(DA)"
    HostHandle Mortira_b;          // "Mortira_b(DA)"
    HostHandle Lodka;              // "Lodka(DA)"
    HostHandle Europ;              // "Europ(DA)"
    HostHandle Melnica;            // "Melnica(DA)"
    HostHandle Kazarma_evro;       // "Kazarma_evro(DA)"
    HostHandle Kazarma;            // "Kazarma(DA)"
    HostHandle Sclad1;             // "Sclad1(DA)"
    HostHandle akademia_E;         // "akademia_E(DA)"
    HostHandle Konushnia_Swesair;  // "Konushnia_Swesair(DA)"
    HostHandle Dip_korpus;         // "Dip_korpus(DA)"
    HostHandle artileri_depo;      // "artileri_depo(DA)"
    HostHandle Rinok;              // "Rinok(DA)"
    HostHandle Bashnia;            // "Bashnia(DA)"
    HostHandle Kuznica;            // "Kuznica(DA)"
    HostHandle Cercov_Poland;      // "Cercov_Poland(DA)"
    HostHandle PorE;               // "PorE(DA)"
    HostHandle Fregat;             // "Fregat(DA)"
    HostHandle GALERA;             // "GALERA(DA)"
    HostHandle Linkor;             // "Linkor(DA)"
    HostHandle Yahta;              // "Yahta(DA)"
    HostHandle PERES_KOR;          // "PERES_KOR(DA)"
};

enum BuildLevel { kBuild, kBuild3, kBuild4, kBuild5, kBuild6, kBuildLevelCount };
enum PauseLevel { kPause, kPause3, kPause4, kPause5, kPause6, kPause7, kPauseLevelCount };

struct UpgradeHandles {
    // Attack and shield families, indexed by UpgradeSuffix. Pikemen stop at level 6 and
    // musketeers at level 4: their higher slots are never registered.
    UpgradeFamily Dragun;
    UpgradeFamily Dragun_18;
    UpgradeFamily ChosenCavalry;  // the picked cavalry's upgrades (SafeRegisterUpgrade)
    UpgradeFamily Kirasir;
    UpgradeFamily Grenader;  // "Grenader(DA)" upgrades (SafeRegisterUpgrade)
    UpgradeFamily Pikiner_evro;
    UpgradeFamily Mushketer_ev;
    HostHandle Officer_evro_ATTACK, Officer_evro_SHIELD;
    HostHandle Barabanshik_ev1_SHIELD;
    HostHandle Melnica_GETRES, Melnica_GETRES2;
    HostHandle Pushka_BUILD[kBuildLevelCount];   // "Pushka(DA)BUILD" .. "BUILD6"
    HostHandle Mortira_BUILD[kBuild6];           // "Mortira(DA)BUILD" .. "BUILD5"
    HostHandle Bashnia_PAUSE[kPauseLevelCount];  // "Bashnia(DA)PAUSE" .. "PAUSE7"
    HostHandle KUZ01DA, KUZ02DA, KUZ03DA, KUZ04DA, KUZ05DA, KUZ06DA;
    HostHandle MAINDA;
    HostHandle AKA01DA, AKA02DA, AKA03DA, AKA04DA, AKA05DA, AKA06DA, AKA07DA, AKA08DA, AKA09DA, AKA10DA,
        AKA11DA, AKA12DA, AKA13DA, AKA14DA, AKA15DA, AKA20DA, AKA23DA, AKA24DA, AKA28DA, AKA29DA, AKA30DA,
        AKA31DA, AKA32DA, AKA33DA, AKA34DA, AKA35DA, AKA36DA;
};

extern UnitHandles Units;
extern UpgradeHandles Upgrades;

}  // namespace denmark

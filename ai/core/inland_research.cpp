// Inland research: the economy and academy upgrades, and the army's attack and shield
// upgrades, each group opened once the army holds enough units of the type it improves.
#include "request_sets.h"
#include "strategies.h"

namespace denmark {

namespace {

constexpr UnitHandles& U = Units;
constexpr UpgradeHandles& G = Upgrades;

// Upgrades of one family by suffix, each with weights (weightA, kFullWeight).
struct SuffixRequest {
    UpgradeSuffix suffix;
    int32_t weightA;
};

template <std::size_t N>
void ResearchFamily(UpgradeFamily& family, const SuffixRequest (&list)[N]) {
    for (const SuffixRequest& r : list) Research(family[r.suffix], r.weightA, kFullWeight);
}

const SuffixRequest kPikesFirst[] = {{kAttack, 80}, {kAttack3, 85}, {kAttack4, 90},
                                     {kShield, 80}, {kShield3, 85}, {kShield4, 90}};
const SuffixRequest kPikesLate[] = {{kAttack5, 90}, {kAttack6, 90}, {kShield5, 90}, {kShield6, 90}};

const SuffixRequest kMusketeers[] = {{kAttack, 90}, {kAttack3, 90}, {kAttack4, 90},
                                     {kShield, 30}, {kShield3, 30}, {kShield4, 30}};

const SuffixRequest kCavalryFirst[] = {{kShield, 80}, {kShield3, 85}, {kShield4, 90},
                                       {kAttack, 80}, {kAttack3, 85}, {kAttack4, 90}};
const SuffixRequest kCavalryLate[] = {{kShield5, 95}, {kShield6, 95}, {kShield7, 95},
                                      {kAttack5, 95}, {kAttack6, 95}, {kAttack7, 95}};

const SuffixRequest kCuirassiers[] = {{kShield, 90},  {kShield3, 90}, {kShield4, 90},
                                      {kAttack, 90},  {kAttack3, 90}, {kAttack4, 95},
                                      {kAttack5, 95}, {kAttack6, 95}, {kAttack7, 95}};
const SuffixRequest kCuirassiersLate[] = {{kShield5, 95}, {kShield6, 95}, {kShield7, 95}};

const SuffixRequest kDragoons[] = {{kAttack, 80},  {kAttack3, 85}, {kAttack4, 90},
                                   {kShield5, 95}, {kShield6, 95}, {kShield7, 95}};

const SuffixRequest kSecondDragoons[] = {
    {kAttack, 80}, {kAttack3, 85}, {kAttack4, 90}, {kAttack5, 95}, {kAttack6, 95}, {kAttack7, 95},
    {kShield, 10}, {kShield3, 15}, {kShield4, 20}, {kShield5, 25}, {kShield6, 25}, {kShield7, 25},
};

const SuffixRequest kGrenadiers[] = {
    {kAttack, 90}, {kAttack3, 90}, {kAttack4, 90}, {kAttack5, 90}, {kAttack6, 90}, {kAttack7, 90},
    {kShield, 90}, {kShield3, 90}, {kShield4, 90}, {kShield5, 90}, {kShield6, 90}, {kShield7, 90},
};

void Academy31And33() {
    Research(G.AKA31DA, 90, 100);
    Research(G.AKA33DA, 90, 100);
}

void GeneralUpgrades() {
    if (Count(U.Strelec_Algir_DIP) != 0 || Count(U.Mortira_b) != 0) {
        Research(G.AKA11DA, 100, 100);
        Research(G.KUZ02DA, 100, 100);
        Research(G.AKA09DA, 100, 100);
    }
    if (Count(U.ChosenCavalry) > 20 || Count(U.Kirasir) > 20 || Count(U.Pikiner_evro) > 140) {
        Research(G.KUZ05DA, 95, 100);
        Research(G.AKA34DA, 95, 100);
        const bool strongCavalry = Count(U.ChosenCavalry) > 140 || Count(U.Kirasir) > 60;
        Research(G.KUZ06DA, strongCavalry ? 95 : 15, 100);
    }
}

void InfantryUpgrades() {
    if (Count(U.Pikiner_evro) > 25) {
        ResearchFamily(G.Pikiner_evro, kPikesFirst);
        if (Count(U.Pikiner_evro) > 120) ResearchFamily(G.Pikiner_evro, kPikesLate);
    }
    if (Count(U.Mushketer_ev) > 30) {
        ResearchFamily(G.Mushketer_ev, kMusketeers);
        Research(G.AKA31DA, 90, 100);
        if (Count(U.Mushketer_ev) > 100) Research(G.AKA33DA, 90, 100);
    }
    if (Count(U.Officer_evro) > 4) {
        Research(G.Officer_evro_ATTACK, 90, 100);
        Research(G.Officer_evro_SHIELD, 90, 100);
    }
}

void CavalryUpgrades() {
    if (Count(U.ChosenCavalry) > 20) {
        ResearchFamily(G.ChosenCavalry, kCavalryFirst);
        if (Count(U.ChosenCavalry) > 50) ResearchFamily(G.ChosenCavalry, kCavalryLate);
    }
    if (Count(U.Kirasir) > 20) {
        ResearchFamily(G.Kirasir, kCuirassiers);
        if (Running(G.Kirasir[kAttack7])) ResearchFamily(G.Kirasir, kCuirassiersLate);
    }
    if (Count(U.Dragun) > 20 && Count(U.Dragun_18) < 20) {
        ResearchFamily(G.Dragun, kDragoons);
        Research(G.AKA31DA, 90, 100);
    }
    if (Count(U.Dragun_18) > 20) {
        ResearchFamily(G.Dragun_18, kSecondDragoons);
        Academy31And33();
    }
}

void GrenadierUpgrades() {
    if (Count(U.Grenader) <= 25) return;
    ResearchFamily(G.Grenader, kGrenadiers);
    const int32_t a = Count(U.Grenader) > 60 ? 90 : 15;
    Research(G.AKA35DA, a, 100);
    Research(G.KUZ04DA, a, 100);
    if (Running(G.AKA35DA) && Running(G.KUZ04DA)) Research(G.AKA36DA, 90, 100);
    Academy31And33();
}

// After the last second-dragoon attack: "AKA15DA", then each link only while the one
// before it runs.
void AcademyChain() {
    if (!Done(G.Dragun_18[kAttack7])) return;
    HostHandle* const kChain[] = {&G.AKA15DA, &G.AKA14DA, &G.AKA13DA, &G.AKA12DA};
    constexpr int kLinks = sizeof kChain / sizeof kChain[0];
    for (int i = 0; i < kLinks; ++i) {
        Research(*kChain[i], 90, 100);
        if (i + 1 < kLinks && !Running(*kChain[i])) break;
    }
}

}  // namespace

void ResearchModule() {
    Research(G.Melnica_GETRES, 50, 100);
    if (Count(U.akademia_E) != 0) Research(G.KUZ01DA, 100, 100);
    Research(G.AKA01DA, 100, 100);
    Research(G.AKA08DA, 90, 100);
    if (Count(U.Dip_korpus) != 0) Research(G.AKA04DA, 100, 100);
    if (Running(G.AKA24DA)) Research(G.AKA02DA, 100, 100);
    Research(G.AKA24DA, 92, 100);
    Research(G.Melnica_GETRES2, 98, 100);
    if (Count(U.Konushnia_Swesair) != 0) Research(G.KUZ03DA, 98, 100);
    Research(G.MAINDA, 98, 100);
    if (Count(U.Kazarma) != 0) Research(G.AKA10DA, 100, 100);
}

void UnitUpgradeModule() {
    GeneralUpgrades();
    InfantryUpgrades();
    CavalryUpgrades();
    GrenadierUpgrades();
    AcademyChain();
}

}  // namespace denmark

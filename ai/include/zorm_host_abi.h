/* Script interface of the game executable ZORM.EXE as the AI plug-ins call it.
 *
 * A host that exports these 117 names (undecorated, C calling convention) can load and
 * drive an AI plug-in. Integers are 32-bit signed, truth values returned by the host are
 * unsigned 8-bit (non-zero is true), names are zero-terminated ASCII strings.
 *
 * ZORM_HOST_FUNCTIONS(CALLED, UNUSED) lists every host function in binding order:
 *   CALLED(name, result, parameter list, argument list) for the 46 functions a plug-in calls,
 *   UNUSED(name) for the 71 that are bound but never called (their shapes are the host's).
 */
#ifndef ZORM_HOST_ABI_H
#define ZORM_HOST_ABI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Filled by a registration; the plug-in only passes its address back. */
typedef struct HostHandle {
    uint32_t data[2];
} HostHandle;

typedef uint8_t HostBool;

/* One step of a mine balance: two unsigned 16-bit little-endian numbers. */
typedef struct MineBalanceStep {
    uint16_t first;
    uint16_t second;
} MineBalanceStep;

/* One mine-building rule: a triple, a zero byte, and a signed 32-bit count. */
typedef struct MineBuildingRule {
    uint8_t first;
    uint8_t second;
    uint8_t third;
    uint8_t zero;
    int32_t count;
} MineBuildingRule;

/* Shape of the functions a plug-in binds but never calls. */
typedef void (*HostUnusedFunction)(void);

#ifdef __cplusplus
}
static_assert(sizeof(HostHandle) == 8, "HostHandle is an 8-byte record");
static_assert(sizeof(MineBalanceStep) == 4, "MineBalanceStep is 4 bytes");
static_assert(sizeof(MineBuildingRule) == 8, "MineBuildingRule is 8 bytes");
static_assert(offsetof(MineBalanceStep, second) == 2, "second number at byte 2");
static_assert(offsetof(MineBuildingRule, zero) == 3, "pad byte at byte 3");
static_assert(offsetof(MineBuildingRule, count) == 4, "count at byte 4");
#endif

#define ZORM_HOST_FUNCTIONS(CALLED, UNUSED)                                                                \
    UNUSED(RegisterUnits)                                                                                  \
    UNUSED(RegisterString)                                                                                 \
    UNUSED(RegisterSound)                                                                                  \
    UNUSED(RegisterVar)                                                                                    \
    UNUSED(RegisterZone)                                                                                   \
    CALLED(RegisterUnitType, void, (HostHandle * h, const char* name), (h, name))                          \
    CALLED(RegisterUpgrade, void, (HostHandle * h, const char* name), (h, name))                           \
    UNUSED(InitialUpgrade)                                                                                 \
    UNUSED(RegisterFormation)                                                                              \
    UNUSED(RegisterUnitsForm)                                                                              \
    UNUSED(GetUnitsAmount0)                                                                                \
    UNUSED(GetUnitsAmount1)                                                                                \
    UNUSED(GetUnitsAmount2)                                                                                \
    UNUSED(GetTotalAmount0)                                                                                \
    UNUSED(GetTotalAmount1)                                                                                \
    UNUSED(GetReadyAmount)                                                                                 \
    UNUSED(IsUpgradeDoing)                                                                                 \
    UNUSED(IsUpgradeDone)                                                                                  \
    UNUSED(IsUpgradeEnabled)                                                                               \
    UNUSED(GetDied)                                                                                        \
    UNUSED(CreateObject0)                                                                                  \
    UNUSED(ClearSelection)                                                                                 \
    UNUSED(SelectUnits)                                                                                    \
    UNUSED(SelectUnitsType)                                                                                \
    UNUSED(SelDie)                                                                                         \
    UNUSED(SelOpenGates)                                                                                   \
    UNUSED(SelCloseGates)                                                                                  \
    UNUSED(SelSendTo)                                                                                      \
    UNUSED(SelSendAndKill)                                                                                 \
    UNUSED(SelAutoKill)                                                                                    \
    UNUSED(SelAttackGroup)                                                                                 \
    UNUSED(Patrol)                                                                                         \
    UNUSED(ChangeFriends)                                                                                  \
    UNUSED(SelChangeNation)                                                                                \
    UNUSED(SetStandGround)                                                                                 \
    UNUSED(AllowAttack)                                                                                    \
    UNUSED(HINT)                                                                                           \
    UNUSED(DisableMission)                                                                                 \
    UNUSED(EnableMission)                                                                                  \
    UNUSED(SetVictoryText)                                                                                 \
    UNUSED(SetLooseText)                                                                                   \
    UNUSED(ShowVictory)                                                                                    \
    UNUSED(LooseGame)                                                                                      \
    UNUSED(ShowCentralText)                                                                                \
    UNUSED(ShowPage)                                                                                       \
    UNUSED(AskQuestion)                                                                                    \
    UNUSED(GetResource)                                                                                    \
    UNUSED(AddResource)                                                                                    \
    UNUSED(SetResource)                                                                                    \
    CALLED(GetUnitCost, int32_t, (uint8_t nation, HostHandle * h, int32_t res), (nation, h, res))          \
    CALLED(GetUpgradeCost, int32_t, (uint8_t nation, HostHandle * h, int32_t res), (nation, h, res))       \
    UNUSED(RunTimer)                                                                                       \
    UNUSED(TimerDone)                                                                                      \
    UNUSED(TimerDoneFirst)                                                                                 \
    UNUSED(TimerIsEmpty)                                                                                   \
    UNUSED(FreeTimer)                                                                                      \
    UNUSED(GetTime)                                                                                        \
    UNUSED(GetGlobalTime)                                                                                  \
    UNUSED(Trigg)                                                                                          \
    UNUSED(SetTrigg)                                                                                       \
    UNUSED(RunAI)                                                                                          \
    UNUSED(RunAIWithPeasants)                                                                              \
    UNUSED(SelCenter)                                                                                      \
    UNUSED(UnitsCenter)                                                                                    \
    UNUSED(CreateZoneNearUnit)                                                                             \
    UNUSED(SetLightSpot)                                                                                   \
    UNUSED(ClearLightSpot)                                                                                 \
    UNUSED(GetMaxInside)                                                                                   \
    UNUSED(GetNInside)                                                                                     \
    UNUSED(PushUnitAway)                                                                                   \
    UNUSED(CheckLeaveAbility)                                                                              \
    UNUSED(AttackZoneByArtillery)                                                                          \
    CALLED(SetDefSettings, void, (int32_t a, int32_t b), (a, b))                                           \
    CALLED(GetMaxPeasantsInMines, int32_t, (void), ())                                                     \
    CALLED(SetUpgradeLock, void, (int32_t a, int32_t b), (a, b))                                           \
    CALLED(AI_Torg, void, (int32_t sold, int32_t bought, int32_t amount), (sold, bought, amount))          \
    CALLED(GetUnitsByUsage, int32_t, (int32_t zero, int32_t usage), (zero, usage))                         \
    CALLED(GetAINation, int32_t, (void), ())                                                               \
    CALLED(TryUnit, void, (HostHandle * h, int32_t n, int32_t a, int32_t b), (h, n, a, b))                 \
    CALLED(TryUpgrade, void, (HostHandle * h, int32_t a, int32_t b), (h, a, b))                            \
    CALLED(SetMineBalanse, void, (int32_t n, const MineBalanceStep* steps), (n, steps))                    \
    CALLED(SetPDistribution, void, (int32_t a, int32_t b, int32_t c), (a, b, c))                           \
    CALLED(AssignAmountOfMineUpgrades, void, (int32_t n), (n))                                             \
    CALLED(AssignMineUpgrade, void, (int32_t slot, const char* name, int32_t value), (slot, name, value))  \
    CALLED(AssignMine, void, (const char* name), (name))                                                   \
    CALLED(AssignPeasant, void, (const char* name), (name))                                                \
    CALLED(AssignHouse, void, (const char* name), (name))                                                  \
    CALLED(AssignWall, void, (const char* name), (name))                                                   \
    CALLED(SET_MINE_CAPTURE_RADIUS, void, (int32_t r), (r))                                                \
    CALLED(SET_MINE_UPGRADE1_RADIUS, void, (int32_t r), (r))                                               \
    CALLED(SET_MINE_UPGRADE2_RADIUS, void, (int32_t r), (r))                                               \
    CALLED(SET_DEFAULT_MAX_WORKERS, void, (int32_t n), (n))                                                \
    CALLED(SET_MIN_PEASANT_BRIGADE, void, (int32_t n), (n))                                                \
    CALLED(GetMoney, int32_t, (int32_t res), (res))                                                        \
    CALLED(GetUnits, int32_t, (HostHandle * h), (h))                                                       \
    CALLED(GetReadyUnits, int32_t, (HostHandle * h), (h))                                                  \
    CALLED(UpgIsDone, HostBool, (HostHandle * h), (h))                                                     \
    CALLED(UpgIsRun, HostBool, (HostHandle * h), (h))                                                      \
    CALLED(FieldExist, HostBool, (void), ())                                                               \
    CALLED(GetDifficulty, int32_t, (void), ())                                                             \
    CALLED(GetStartRes, int32_t, (void), ())                                                               \
    UNUSED(GetResOnMap)                                                                                    \
    CALLED(GetLandType, int32_t, (void), ())                                                               \
    CALLED(AssignFormUnit, void, (const char* name), (name))                                               \
    CALLED(GetRandomIndex, int32_t, (void), ())                                                            \
    CALLED(SafeRegisterUpgrade, void, (HostHandle * h, const char* name), (h, name))                       \
    CALLED(SetMinesUpgradeRules, void, (const int32_t* rules), (rules))                                    \
    CALLED(SetMinesBuildingRules, void, (const MineBuildingRule* rules, int32_t n), (rules, n))            \
    CALLED(GetExtraction, int32_t, (int32_t res), (res))                                                   \
    UNUSED(EnableUpgrade)                                                                                  \
    UNUSED(DisableUpgrade)                                                                                 \
    CALLED(GetAIRegister, int32_t, (int32_t reg), (reg))                                                   \
    CALLED(SetAIRegister, void, (int32_t reg, int32_t value), (reg, value))                                \
    CALLED(GetTorgResult, int32_t, (int32_t sold, int32_t bought, int32_t amount), (sold, bought, amount)) \
    CALLED(SetDefenseState, void, (uint8_t state), (state))                                                \
    CALLED(GetMaxPeaceTime, int32_t, (void), ())                                                           \
    CALLED(GetPeaceTimeLeft, int32_t, (void), ())

#endif /* ZORM_HOST_ABI_H */

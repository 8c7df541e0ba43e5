// The update run: its steps in order for each state of the installation record, the level
// question, an extraction whose result does not matter, and the error box that ends it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <deque>
#include <functional>
#include <map>
#include <new>
#include <optional>

#include "memory_file_system.h"
#include "unzip.h"
#include "update_run.h"
#include "zip_builder.h"

namespace tessarin::testing {
namespace {

using Log = std::vector<std::string>;

// The window records what the run asks of it; none of its waits take time here.
class RecordingWindow : public ProgressWindow {
public:
    explicit RecordingWindow(Log& log) : log_(log) {}
    void Show() override { log_.push_back("show"); }
    void Hide() override { log_.push_back("hide"); }
    void SetCaption(const std::string& caption) override { log_.push_back("caption " + caption); }
    void PaintNow() override { log_.push_back("paint"); }
    void ProcessMessages() override { log_.push_back("messages"); }
    void Wait(unsigned milliseconds) override {
        log_.push_back("wait " + std::to_string(milliseconds));
        if (onWait) onWait(milliseconds);
    }
    std::function<void(unsigned)> onWait;
    void ShowStatus(const std::string& text) override {
        log_.push_back("status " + text);
        if (onStatus) onStatus(text);
    }
    std::function<void(const std::string&)> onStatus;  // what happens meanwhile on the machine
    void ShowStatusLine(bool visible) override { log_.push_back(visible ? "labels on" : "labels off"); }
    void ShowProgress(bool visible) override { log_.push_back(visible ? "bars on" : "bars off"); }
    void StartAnimation() override { log_.push_back("animation on"); }
    void StopAnimation() override { log_.push_back("animation off"); }
    void OpeningAnimation() override { log_.push_back("opening"); }
    void ClosingAnimation() override { log_.push_back("closing"); }
    void Enlarge() override { log_.push_back("enlarge"); }
    void Shrink() override { log_.push_back("shrink"); }
    void UnZIPProgress(const TUnZIP& sender, uint8_t byFile, uint8_t byArchive) override {
        log_.push_back("progress " + std::to_string(byFile) + " " + std::to_string(byArchive) + " " +
                       sender.OutputPath());
    }

private:
    Log& log_;
};

// The record as the registry would hold it: absent values read as empty text.
class RecordInMemory : public InstallationRecord {
public:
    explicit RecordInMemory(Log& log) : log_(log) {}
    bool exists = true;
    std::map<std::string, std::string> values;
    std::string otherType;     // a value stored as a number: reading it fails
    bool refuseWrite = false;  // the key cannot be written

    bool GameRecordExists() override { return exists; }
    std::string ReadInstallDir() override { return Read("InstallDir"); }
    std::string ReadLanguage() override { return Read("Language"); }
    std::string ReadVersion() override { return Read("Version"); }
    void WriteVersion(const std::string& text) override {
        if (refuseWrite) throw EKitError("ERegistryException", "Failed to set data for 'Version'");
        log_.push_back("write Version " + text);
        values["Version"] = text;
    }

private:
    std::string Read(const std::string& name) {
        if (name == otherType) throw EKitError("ERegistryException", "Invalid data type for '" + name + "'");
        auto it = values.find(name);
        return it == values.end() ? std::string() : it->second;
    }
    Log& log_;
};

// Boxes answer from a list (a question with no answer left gets Yes, or Cancel).
class ScriptedBoxes : public MessageBoxes {
public:
    explicit ScriptedBoxes(Log& log) : log_(log) {}
    std::deque<BoxAnswer> answers;
    std::function<void()> whileShown;  // what the player does before answering
    BoxAnswer Show(const std::string& text, const std::string& caption, BoxIcon icon,
                   BoxButtons buttons) override {
        static const char* const kButtons[] = {"OK", "Yes No", "Retry Cancel"};
        static const char* const kAnswers[] = {"OK", "Yes", "No", "Retry", "Cancel"};
        log_.push_back("box " + caption + " | " + text + " | " +
                       (icon == BoxIcon::kStop ? "stop" : "exclamation") + " | " +
                       kButtons[static_cast<int>(buttons)]);
        if (whileShown) whileShown();
        if (buttons == BoxButtons::kOk) return BoxAnswer::kOk;
        BoxAnswer a = buttons == BoxButtons::kYesNo ? BoxAnswer::kYes : BoxAnswer::kCancel;
        if (!answers.empty()) {
            a = answers.front();
            answers.pop_front();
        }
        log_.push_back(std::string("answer ") + kAnswers[static_cast<int>(a)]);
        return a;
    }

private:
    Log& log_;
};

// The payload goes into the file the run holds; it may run out of memory on the way.
class PayloadInMemory : public Payload {
public:
    explicit PayloadInMemory(Log& log) : log_(log) {}
    std::string bytes;
    bool outOfMemory = false;
    void WriteTo(HeldFile& file) override {
        if (outOfMemory) throw std::bad_alloc();
        file.Write(bytes.data(), bytes.size());
        log_.push_back("payload");
    }

private:
    Log& log_;
};

class RecordingShortcuts : public Shortcuts {
public:
    explicit RecordingShortcuts(Log& log) : log_(log) {}
    std::string saveError;  // when set, the save fails with this system text
    void CreateShortcut(const std::string& target, const std::string& name) override {
        if (!saveError.empty()) throw EKitError("EOleSysError", saveError);
        log_.push_back("shortcut " + name + " -> " + target);
    }

private:
    Log& log_;
};

// Memory files that also record the run's own file calls.
class RecordingFiles : public MemoryFileSystem {
public:
    explicit RecordingFiles(Log& log) : log_(log) {}
    void SetAttributes(const std::string& path, uint32_t attributes) override {
        log_.push_back("attributes " + std::to_string(attributes) + " " + path);
        MemoryFileSystem::SetAttributes(path, attributes);
    }
    bool RemoveFile(const std::string& path) override {
        log_.push_back("remove " + path);
        return MemoryFileSystem::RemoveFile(path);
    }
    std::unique_ptr<HeldFile> CreateHeld(const std::string& path) override {
        log_.push_back("hold " + path);
        return MemoryFileSystem::CreateHeld(path);
    }
    void RemoveHeld(const std::string& path) override {
        log_.push_back("remove held " + path);
        MemoryFileSystem::RemoveHeld(path);
    }

private:
    Log& log_;
};

constexpr const char* kGame = "C:\\Game";
constexpr const char* kArchive = "C:\\Temp\\update.zip";
constexpr const char* kOldGame = "C:\\Game\\TIRMOLD.EXE";

// Two members: 30 and 10 bytes, so the whole archive is at 75 after the first.
std::string TwoMemberPayload() {
    return BuildZip(
               {ZipEntry("ReadMe.txt", std::string(30, 'r')), ZipEntry("clans.url", std::string(10, 'u'), 0)})
        .bytes;
}

// A game installed in C:\Game with a read-only old executable; the temporary folder
// C:\Temp does not exist yet.
struct Machine {
    Log log;
    RecordingWindow window{log};
    RecordInMemory record{log};
    ScriptedBoxes boxes{log};
    ScriptedBoxes errorBoxes{log};
    RecordingFiles files{log};
    PayloadInMemory payload{log};
    RecordingShortcuts shortcuts{log};

    Machine() {
        record.values = {{"InstallDir", kGame}, {"Language", "German"}};
        files.folders = {kGame};
        files.AddFile(kOldGame, "old game");
        files.files[kOldGame].readOnly = true;
        payload.bytes = TwoMemberPayload();
    }
    int Run() {
        return RunWithErrorBox([this] { return UpdateRun(window, record, boxes, payload, shortcuts, files).Run(); },
                               errorBoxes, "Tessarin.exe");
    }
    // The lines of the log that start with one of prefixes.
    Log Only(std::initializer_list<const char*> prefixes) const {
        Log out;
        for (const std::string& line : log)
            for (const char* p : prefixes)
                if (line.rfind(p, 0) == 0) {
                    out.push_back(line);
                    break;
                }
        return out;
    }
    Log Steps() const { return Only({"status ", "box ", "answer ", "write ", "shortcut "}); }
};

const char* const kNoGameBox =
    "box Error | Unable to find the game!\r\nPlease install the game before updating | stop | OK";
const char* const kAskBox =
    "box Warning | You already have this update installed!\r\nInstall the update anyway? | exclamation | Yes "
    "No";
std::string WrongEditionBox(const std::string& language) {
    return "box Error | You have " + language +
           " version installed!\r\nThis update is for German version only! | stop | OK";
}

const Log kChecks = {"status Checking for the game presence ...", "status Checking for the game locale ...",
                     "status Checking for the game version ..."};
const Log kUpdate = {"status Extracting archive ...",
                     "status Opening archive ...",
                     "status Copying files ...",
                     "status Updating game information ...",
                     "write Version 2.2",
                     "status Creating shortcuts ...",
                     "shortcut Clan-Verwaltung -> C:\\Game\\clans.url",
                     "status Deleting any temporary files used ..."};
const char* const kFinalizing = "status Finalizing ...";

Log Join(std::initializer_list<Log> parts) {
    Log out;
    for (const Log& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Every line of the run on a full update, from the first paint to the hidden window.
TEST(UpdateRun, FullUpdateStepByStep) {
    Machine m;
    ASSERT_EQ(m.Run(), kExitDone);
    Log pause;
    for (int i = 0; i < 21; ++i) pause.insert(pause.end(), {"wait 50", "messages"});
    Log expected = Join({
        {"show", "paint", "messages"},
        pause,
        {"opening", "labels on", "paint", "caption Orvandel V1.29 Update", "show", "paint"},
        kChecks,
        {"status Extracting archive ...",
         "hold C:\\Temp\\update.zip",
         "payload",
         "attributes 0 C:\\Game\\TIRMOLD.EXE",
         "remove C:\\Game\\TIRMOLD.EXE",
         "status Opening archive ...",
         "enlarge",
         "bars on",
         "paint",
         "status Copying files ...",
         "animation on",
         "progress 0 0 C:\\Game\\ReadMe.txt",
         "progress 100 75 C:\\Game\\ReadMe.txt",
         "progress 0 75 C:\\Game\\clans.url",
         "progress 100 100 C:\\Game\\clans.url",
         "animation off",
         "status Updating game information ...",
         "bars off",
         "paint",
         "shrink",
         "paint",
         "write Version 2.2",
         "status Creating shortcuts ...",
         "shortcut Clan-Verwaltung -> C:\\Game\\clans.url",
         "status Deleting any temporary files used ...",
         "remove held C:\\Temp\\update.zip",
         "status Finalizing ...",
         "caption Veltmark",
         "labels off",
         "paint",
         "closing"},
        pause,
        {"hide"},
    });
    EXPECT_EQ(m.log, expected);

    // The members are in the game folder, the old executable and the temporary archive gone;
    // the temporary folder was made for the archive.
    EXPECT_EQ(m.files.files.at("C:\\Game\\ReadMe.txt").data, std::string(30, 'r'));
    EXPECT_EQ(m.files.files.at("C:\\Game\\clans.url").data, std::string(10, 'u'));
    EXPECT_EQ(m.files.files.count(kOldGame), 0u);
    EXPECT_EQ(m.files.files.count(kArchive), 0u);
    EXPECT_TRUE(m.files.FolderExists("C:\\Temp"));
}

struct RecordCase {
    const char* name;
    bool exists;
    std::optional<std::string> language, version;  // nullopt: the value is absent
    std::optional<BoxAnswer> answer;               // to the level question
    Log steps;                                     // status texts, boxes, answers, writes
};
std::ostream& operator<<(std::ostream& o, const RecordCase& c) { return o << c.name; }

class RecordStates : public ::testing::TestWithParam<RecordCase> {};

TEST_P(RecordStates, StatusTextsAndBoxesInOrder) {
    const RecordCase& c = GetParam();
    Machine m;
    m.record.exists = c.exists;
    m.record.values.erase("Language");
    if (c.language) m.record.values["Language"] = *c.language;
    if (c.version) m.record.values["Version"] = *c.version;
    if (c.answer) m.boxes.answers.push_back(*c.answer);
    EXPECT_EQ(m.Run(), kExitDone);
    EXPECT_EQ(m.Steps(), c.steps);
    bool updated = std::find(c.steps.begin(), c.steps.end(), "write Version 2.2") != c.steps.end();
    if (!updated) {
        // Nothing written or deleted: no temporary folder, the old executable still there.
        EXPECT_EQ(m.files.files.count(kOldGame), 1u);
        EXPECT_FALSE(m.files.FolderExists("C:\\Temp"));
        EXPECT_TRUE(m.files.created.empty());
        EXPECT_EQ(m.record.values.count("Version"), c.version ? 1u : 0u);
    }
    // Every run folds the window back and hides it.
    ASSERT_GE(m.log.size(), 2u);
    EXPECT_EQ(m.log.back(), "hide");
}

INSTANTIATE_TEST_SUITE_P(
    UpdateRun, RecordStates,
    ::testing::Values(RecordCase{"NoRecord",
                                 false,
                                 "German",
                                 std::nullopt,
                                 std::nullopt,
                                 {"status Checking for the game presence ...", kNoGameBox, kFinalizing}},
                      RecordCase{"Deutsch",
                                 true,
                                 "Deutsch",
                                 std::nullopt,
                                 std::nullopt,
                                 {kChecks[0], kChecks[1], WrongEditionBox("Deutsch"), kFinalizing}},
                      RecordCase{"GermanWithBlank",
                                 true,
                                 "german ",
                                 std::nullopt,
                                 std::nullopt,
                                 {kChecks[0], kChecks[1], WrongEditionBox("german "), kFinalizing}},
                      RecordCase{"LanguageAbsent",
                                 true,
                                 std::nullopt,
                                 std::nullopt,
                                 std::nullopt,
                                 {kChecks[0], kChecks[1], WrongEditionBox(""), kFinalizing}},
                      RecordCase{"LanguageEmpty",
                                 true,
                                 "",
                                 "1.29",
                                 std::nullopt,
                                 {kChecks[0], kChecks[1], WrongEditionBox(""), kFinalizing}},
                      RecordCase{"VersionAbsent", true, "German", std::nullopt, std::nullopt,
                                 Join({kChecks, kUpdate, {kFinalizing}})},
                      RecordCase{"Upper1_29", true, "GERMAN", "1.29", std::nullopt,
                                 Join({kChecks, kUpdate, {kFinalizing}})},
                      RecordCase{"Level2_10", true, "German", "2.10", std::nullopt,
                                 Join({kChecks, kUpdate, {kFinalizing}})},
                      RecordCase{"Level10", true, "german", "10", std::nullopt,
                                 Join({kChecks, kUpdate, {kFinalizing}})},
                      RecordCase{"Level2_2No", true, "German", "2.2", BoxAnswer::kNo,
                                 Join({kChecks, {kAskBox, "answer No", kFinalizing}})},
                      RecordCase{"Level2_2aYes", true, "German", "2.2a", BoxAnswer::kYes,
                                 Join({kChecks, {kAskBox, "answer Yes"}, kUpdate, {kFinalizing}})},
                      RecordCase{"Level2_3No", true, "German", "2.3", BoxAnswer::kNo,
                                 Join({kChecks, {kAskBox, "answer No", kFinalizing}})},
                      RecordCase{"Level3Yes", true, "German", "3", BoxAnswer::kYes,
                                 Join({kChecks, {kAskBox, "answer Yes"}, kUpdate, {kFinalizing}})}),
    [](const ::testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.name); });

// A file of the game that cannot be written: before unpacking the run names the first one
// and asks to retry; a member that fails while unpacking leaves the update unrecorded. Either
// way the temporary archive goes, and the exit code says whether the update was recorded.
constexpr const char* kReadMe = "C:\\Game\\ReadMe.txt";
constexpr const char* kClansUrl = "C:\\Game\\clans.url";
const char* const kReadMeInUse =
    "Unable to update C:\\Game\\ReadMe.txt!\r\nPlease close the game and try again";
const char* const kDenied = "Access is denied.\r\nYour account must be allowed to change the game folder";
const Log kCancelled = {"status Deleting any temporary files used ...", kFinalizing};
const Log kUpdated = Join({kUpdate, {kFinalizing}});

std::string RetryBox(const std::string& text) { return "box Error | " + text + " | stop | Retry Cancel"; }
// Named before anything is touched, and cancelled.
Log Cancelled(const std::string& text) {
    return Join({{"status Extracting archive ...", RetryBox(text), "answer Cancel"}, kCancelled});
}
// Reported once the members are unpacked.
Log UnpackFailed(const std::string& text) {
    return Join({{"status Extracting archive ...", "status Opening archive ...", "status Copying files ...",
                  "box Error | " + text + " | stop | OK"},
                 kCancelled});
}

struct UnwritableCase {
    const char* name;
    std::function<void(Machine&)> prepare;
    Log steps;  // after the checks; its "answer" lines are the player's answers
};
std::ostream& operator<<(std::ostream& o, const UnwritableCase& c) { return o << c.name; }

class UnwritableFiles : public ::testing::TestWithParam<UnwritableCase> {};

TEST_P(UnwritableFiles, AreNamedAndNothingIsRecorded) {
    const UnwritableCase& c = GetParam();
    Machine m;
    m.files.AddFile(kReadMe, "old read me");
    c.prepare(m);
    for (const std::string& step : c.steps)
        if (step.rfind("answer ", 0) == 0)
            m.boxes.answers.push_back(step == "answer Retry" ? BoxAnswer::kRetry : BoxAnswer::kCancel);
    bool applied = std::find(c.steps.begin(), c.steps.end(), "write Version 2.2") != c.steps.end();
    EXPECT_EQ(m.Run(), applied ? kExitDone : kExitNotApplied);
    EXPECT_EQ(m.Steps(), Join({kChecks, c.steps}));
    EXPECT_EQ(m.files.files.count(kArchive), 0u);
    EXPECT_EQ(m.record.values.count("Version"), applied ? 1u : 0u);
    if (std::find(c.steps.begin(), c.steps.end(), "status Opening archive ...") == c.steps.end()) {
        // Stopped before unpacking: the game folder is as it was, the old executable too.
        EXPECT_EQ(m.files.files.at(kReadMe).data, "old read me");
        EXPECT_EQ(m.files.files.count(kOldGame), 1u);
        EXPECT_EQ(m.files.created, Log{kArchive});
    }
}

INSTANTIATE_TEST_SUITE_P(
    UpdateRun, UnwritableFiles,
    ::testing::Values(
        UnwritableCase{"HeldFileCancelled", [](Machine& m) { m.files.files[kReadMe].locked = true; },
                       Cancelled(kReadMeInUse)},
        UnwritableCase{"HeldFileStillHeldAtRetry", [](Machine& m) { m.files.files[kReadMe].locked = true; },
                       Join({{"status Extracting archive ...", RetryBox(kReadMeInUse), "answer Retry",
                              RetryBox(kReadMeInUse), "answer Cancel"},
                             kCancelled})},
        UnwritableCase{"HeldFileReleasedBeforeRetry",
                       [](Machine& m) {
                           m.files.files[kReadMe].locked = true;
                           m.boxes.whileShown = [&m] { m.files.files[kReadMe].locked = false; };
                       },
                       Join({{"status Extracting archive ...", RetryBox(kReadMeInUse), "answer Retry"},
                             Log(kUpdate.begin() + 1, kUpdate.end()),
                             {kFinalizing}})},
        // The first refused destination in the archive's order is named.
        UnwritableCase{"DeniedFileCancelled",
                       [](Machine& m) {
                           m.files.AddFile(kClansUrl, "old link");
                           m.files.files[kClansUrl].denied = true;
                       },
                       Cancelled(std::string("Unable to update C:\\Game\\clans.url!\r\n") + kDenied)},
        // A read-only file is replaced once its attribute is cleared: nothing to ask.
        UnwritableCase{"ReadOnlyFileWritable", [](Machine& m) { m.files.files[kReadMe].readOnly = true; },
                       kUpdated},
        // Held by a program that starts between the question and the unpacking.
        UnwritableCase{
            "HeldWhileUnpacking",
            [](Machine& m) {
                m.files.AddFile(kClansUrl, "old link");
                m.window.onStatus = [&m](const std::string& text) {
                    if (text != "Copying files ...") return;
                    m.files.files[kReadMe].locked = true;
                    m.files.files[kClansUrl].locked = true;
                };
            },
            UnpackFailed("Unable to update C:\\Game\\ReadMe.txt and 1 other file!\r\nPlease close the "
                         "game and try again")},
        UnwritableCase{"DeniedWhileUnpacking",
                       [](Machine& m) {
                           m.window.onStatus = [&m](const std::string& text) {
                               if (text == "Copying files ...") m.files.files[kReadMe].denied = true;
                           };
                       },
                       UnpackFailed(std::string("Unable to update C:\\Game\\ReadMe.txt!\r\n") + kDenied)},
        // Damaged members: the first one's reason is shown.
        UnwritableCase{"UnsupportedMethodAndBadCrc",
                       [](Machine& m) {
                           ZipEntry bad("ReadMe.txt", "data", 6);
                           ZipEntry crc("clans.url", "data", 0);
                           crc.badCrc = true;
                           ZipEntry fine("Info/a.txt", "data", 0);
                           ZipEntry imploded("Info/b.txt", "data", 6);
                           m.payload.bytes = BuildZip({bad, crc, fine, imploded}).bytes;
                       },
                       UnpackFailed("Unable to update C:\\Game\\ReadMe.txt and 2 other files!\r\nUnsupported "
                                    "compression method")},
        // A folder where a file goes, or a file where a folder goes, stands in the way.
        UnwritableCase{
            "FolderInPlaceOfFile", [](Machine& m) { m.files.folders.insert(kClansUrl); },
            Cancelled("Unable to update C:\\Game\\clans.url!\r\nPlease move C:\\Game\\clans.url out of "
                      "the way and try again")},
        UnwritableCase{
            "FileInPlaceOfFolder",
            [](Machine& m) {
                m.payload.bytes =
                    BuildZip({ZipEntry("ReadMe.txt", "r", 0), ZipEntry("AI/x.dll", "x", 0)}).bytes;
                m.files.AddFile("C:\\Game\\AI", "a file");
            },
            Cancelled("Unable to update C:\\Game\\AI\\x.dll!\r\nPlease move C:\\Game\\AI out of the way "
                      "and try again")},
        // 30 + 10 bytes take a 4 KiB cluster each; the 11 bytes of the old ReadMe.txt free one.
        UnwritableCase{
            "NotEnoughSpace",
            [](Machine& m) {
                m.files.drive = DriveInfo{true, false, 1000, 4096, "C:\\"};
            },
            Cancelled("Not enough disk space on C:\\!\r\nThe update needs 4 KB more: please free some "
                      "space and try again")},
        // The end record declares three members, the directory holds two: a damaged download.
        UnwritableCase{"DirectoryEndsEarly",
                       [](Machine& m) { m.payload.bytes[m.payload.bytes.size() - 22 + 10] = 3; },
                       Join({{"status Extracting archive ...",
                              "box Error | The update is damaged!\r\nPlease download it again | stop | OK"},
                             kCancelled})},
        // A scanner that holds a file it saw written lets go 300 ms into the second of retries.
        UnwritableCase{"HeldBrieflyWhileUnpacking",
                       [](Machine& m) {
                           MemoryFileSystem::File& f = m.files.files[kReadMe];
                           m.window.onStatus = [&f](const std::string& text) { f.locked = text == "Copying files ..."; };
                           m.window.onWait = [&f, waited = 0u](unsigned ms) mutable {
                               if (f.locked && (waited += ms) >= 300) f.locked = false;
                           };
                       },
                       kUpdated},
        // The virtualised game holds its copy of a written file: it would go on reading it.
        UnwritableCase{
            "VirtualStoreCopyHeld",
            [](Machine& m) {
                m.files.localAppData = "C:\\Users\\Anna\\AppData\\Local";
                const char* copy = "C:\\Users\\Anna\\AppData\\Local\\VirtualStore\\Game\\clans.url";
                m.files.AddFile(copy, "stale");
                m.files.files[copy].locked = true;
            },
            UnpackFailed("Unable to update C:\\Users\\Anna\\AppData\\Local\\VirtualStore\\Game\\clans.url!"
                         "\r\nPlease close the game and try again")},
        // Folder entries are never extracted: nothing fails, the update is recorded.
        UnwritableCase{"FolderEntryOnly",
                       [](Machine& m) { m.payload.bytes = BuildZip({ZipEntry("AI/", "", 0, 0x10)}).bytes; },
                       kUpdated}),
    [](const ::testing::TestParamInfo<UnwritableCase>& info) { return std::string(info.param.name); });

// After each member is written, the copy that a virtualised game or helper once wrote of it
// in the user's VirtualStore goes, read-only or not; copies of other files stay. Windows keys
// the copies on the folder the file really lies in, not on the name the record gives it (a
// short name, or a junction such as "C:\\Programme").
TEST(UpdateRun, VirtualStoreCopiesOfWrittenFilesRemoved) {
    Machine m;
    m.files.localAppData = "C:\\Users\\Spieler\\AppData\\Local";
    m.files.junctions["C:\\Game"] = "C:\\Program Files\\Veltmark";
    const std::string store = "C:\\Users\\Spieler\\AppData\\Local\\VirtualStore\\";
    for (const char* copy : {"Program Files\\Veltmark\\ReadMe.txt", "Program Files\\Veltmark\\savegame.dat",
                             "Game\\ReadMe.txt"})
        m.files.AddFile(store + copy, "written by the game");
    m.files.files[store + "Program Files\\Veltmark\\ReadMe.txt"].readOnly = true;
    EXPECT_EQ(m.Run(), kExitDone);
    Log left;
    for (const auto& [path, file] : m.files.files)
        if (path.rfind(store, 0) == 0) left.push_back(path.substr(store.size()));
    EXPECT_EQ(left, (Log{"Game\\ReadMe.txt", "Program Files\\Veltmark\\savegame.dat"}));
}

struct StoreCase {
    const char* localAppData;
    const char* path;
    const char* copy;
};

TEST(VirtualStoreCopy, OnlyOfPathsWithADrive) {
    const StoreCase cases[] = {
        {"C:\\Users\\Anna\\AppData\\Local", "D:\\Spiele\\AI\\Denmark.dll",
         "C:\\Users\\Anna\\AppData\\Local\\VirtualStore\\Spiele\\AI\\Denmark.dll"},
        {"C:\\Users\\Anna\\AppData\\Local\\", "c:\\a.txt", "C:\\Users\\Anna\\AppData\\Local\\VirtualStore\\a.txt"},
        {"C:\\Users\\Anna\\AppData\\Local", "\\\\server\\share\\a.txt", ""},  // a share is never virtualised
        {"C:\\Users\\Anna\\AppData\\Local", "\\Spiele\\a.txt", ""},
        {"", "C:\\Spiele\\a.txt", ""},
    };
    for (const StoreCase& c : cases) EXPECT_EQ(VirtualStoreCopy(c.localAppData, c.path), c.copy) << c.path;
}

// An error that no step handles: the "Application Error" box, exit code 1, and no step
// after the failing one (no finishing, so the temporary archive may stay).
struct ErrorCase {
    const char* name;
    std::function<void(Machine&)> prepare;
    const char* lastStatus;  // the step that fails
    const char* text;        // the box's text, with ADDR for the code address
    bool versionWritten;
    bool archiveLeft;
};
std::ostream& operator<<(std::ostream& o, const ErrorCase& c) { return o << c.name; }

class ErrorPath : public ::testing::TestWithParam<ErrorCase> {};

// The box text with its code address, which must be a pointer's width of hex digits, as ADDR.
std::string WithoutAddress(const std::string& text) {
    size_t at = text.find(" at ");
    size_t end = text.find(".\n");
    if (at == std::string::npos || end == std::string::npos || end < at) return text;
    std::string address = text.substr(at + 4, end - at - 4);
    if (address.size() != 2 * sizeof(void*)) return text;
    for (char ch : address)
        if (!std::isxdigit(static_cast<unsigned char>(ch)) || std::islower(static_cast<unsigned char>(ch)))
            return text;
    return text.substr(0, at + 4) + "ADDR" + text.substr(end);
}

TEST_P(ErrorPath, ApplicationErrorBoxAndExitCode1) {
    const ErrorCase& c = GetParam();
    Machine m;
    c.prepare(m);
    EXPECT_EQ(m.Run(), kExitApplicationError);
    Log statuses = m.Only({"status "});
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back(), std::string("status ") + c.lastStatus);
    ASSERT_FALSE(m.log.empty());
    const std::string box = m.log.back();
    const std::string head = "box Application Error | ";
    const std::string tail = " | stop | OK";
    ASSERT_EQ(box.rfind(head, 0), 0u) << box;
    ASSERT_GE(box.size(), head.size() + tail.size());
    ASSERT_EQ(box.substr(box.size() - tail.size()), tail) << box;
    EXPECT_EQ(WithoutAddress(box.substr(head.size(), box.size() - head.size() - tail.size())), c.text);
    EXPECT_EQ(m.Only({"box "}).size(), 1u);  // the error box only, shown once
    EXPECT_EQ(m.record.values.count("Version"), c.versionWritten ? 1u : 0u);
    EXPECT_EQ(m.files.files.count(kArchive), c.archiveLeft ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    UpdateRun, ErrorPath,
    ::testing::Values(
        ErrorCase{
            "LanguageOfAnotherType", [](Machine& m) { m.record.otherType = "Language"; },
            "Checking for the game locale ...",
            "Exception ERegistryException in module Tessarin.exe at ADDR.\nInvalid data type for 'Language'.",
            false, false},
        ErrorCase{"StaleReadOnlyArchive",
                  [](Machine& m) {
                      m.files.folders.insert("C:\\Temp");
                      m.files.AddFile(kArchive, "stale");
                      m.files.files[kArchive].readOnly = true;
                  },
                  "Extracting archive ...",
                  "Exception EFCreateError in module Tessarin.exe at ADDR.\nCannot create file "
                  "C:\\Temp\\update.zip.",
                  false, true},
        ErrorCase{
            "PayloadNotAnArchive", [](Machine& m) { m.payload.bytes = "not an archive"; },
            "Copying files ...",
            "Exception EUnZipError in module Tessarin.exe at ADDR.\nInvalid or unsupported archive type for "
            "this operation.",
            false, true},
        ErrorCase{
            "VersionNotWritten", [](Machine& m) { m.record.refuseWrite = true; },
            "Updating game information ...",
            "Exception ERegistryException in module Tessarin.exe at ADDR.\nFailed to set data for 'Version'.",
            false, true},
        ErrorCase{"ShortcutNotSaved", [](Machine& m) { m.shortcuts.saveError = "Access is denied"; },
                  "Creating shortcuts ...",
                  "Exception EOleSysError in module Tessarin.exe at ADDR.\nAccess is denied.", true, true},
        // While the payload goes into the archive, which stays as far as it came.
        ErrorCase{"OutOfMemory", [](Machine& m) { m.payload.outOfMemory = true; }, "Extracting archive ...",
                  "Exception EOutOfMemory in module Tessarin.exe at ADDR.\nOut of memory.", false, true}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessarin::testing

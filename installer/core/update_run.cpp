// The update run, step by step, and the error box that ends it when a step fails.
#include "update_run.h"

#include <cstdio>
#include <new>

#include "record.h"
#include "unzip.h"

namespace tessarin {

namespace {

constexpr int kPauseSteps = 21;
constexpr unsigned kPauseStepMilliseconds = 50;

// What the player can do about a file the update cannot write, by the system's reason.
std::string Advice(const WriteRefusal& refusal) {
    switch (refusal.kind) {
    case WriteRefusal::Kind::kInUse: return "Please close the game and try again";
    case WriteRefusal::Kind::kInTheWay:
        return "Please move " + refusal.detail + " out of the way and try again";
    default: break;
    }
    // An administrator's run is elevated already; another account has no game record.
    const char* const kOwnAccount = "Your account must be allowed to change the game folder";
    return refusal.detail.empty() ? kOwnAccount : refusal.detail + "\r\n" + kOwnAccount;
}

std::string UnableToUpdate(const std::string& path, const std::string& reason) {
    return "Unable to update " + path + "!\r\n" + reason;
}

// Space a file takes up on a drive of the given cluster size.
uint64_t Allocated(uint64_t bytes, uint64_t clusterBytes) {
    uint64_t cluster = clusterBytes ? clusterBytes : 1;
    return bytes / cluster * cluster + (bytes % cluster ? cluster : 0);
}

std::string NotEnoughSpaceText(const DriveInfo& drive, uint64_t missing) {
    const uint64_t kKilobyte = 1024;
    return "Not enough disk space on " + drive.root + "!\r\nThe update needs " +
           std::to_string((missing + kKilobyte - 1) / kKilobyte) +
           " KB more: please free some space and try again";
}

}  // namespace

// The first file that could not be written while unpacking, and how many could not.
struct UpdateRun::Failures {
    int count = 0;
    std::string first;
    std::string message;  // the extractor's, for a member that was not refused by the system
    WriteRefusal refusal;

    void Add(const std::string& path, const std::string& why, const WriteRefusal& refused) {
        if (count++ > 0) return;
        first = path;
        message = why;
        refusal = refused;
    }
    std::string Text() const {
        std::string files = first;
        if (count == 2) files += " and 1 other file";
        if (count > 2) files += " and " + std::to_string(count - 1) + " other files";
        return UnableToUpdate(files, refusal ? Advice(refusal) : message);
    }
};

int UpdateRun::Run() {
    window_.Show();
    window_.PaintNow();
    window_.ProcessMessages();
    Pause();
    window_.OpeningAnimation();
    window_.ShowStatusLine(true);
    window_.PaintNow();
    window_.SetCaption(kApplicationTitle);
    window_.Show();
    window_.PaintNow();

    int exitCode = kExitDone;
    std::string installDir;
    if (ChecksPass(installDir) && !Update(installDir)) exitCode = kExitNotApplied;
    Finish();
    return exitCode;
}

bool UpdateRun::ChecksPass(std::string& installDir) {
    window_.ShowStatus("Checking for the game presence ...");
    if (!record_.GameRecordExists()) {
        boxes_.Show("Unable to find the game!\r\nPlease install the game before updating", "Error",
                    BoxIcon::kStop, BoxButtons::kOk);
        return false;
    }
    installDir = record_.ReadInstallDir();

    window_.ShowStatus("Checking for the game locale ...");
    std::string language = record_.ReadLanguage();
    if (!IsGermanEdition(language)) {
        boxes_.Show(WrongEditionText(language), "Error", BoxIcon::kStop, BoxButtons::kOk);
        return false;
    }

    // A level of "2.2" or above asks first; only No ends the run.
    window_.ShowStatus("Checking for the game version ...");
    return OrdersBeforeUpdate(record_.ReadVersion()) ||
           boxes_.Show("You already have this update installed!\r\nInstall the update anyway?", "Warning",
                       BoxIcon::kExclamation, BoxButtons::kYesNo) != BoxAnswer::kNo;
}

bool UpdateRun::Update(const std::string& installDir) {
    window_.ShowStatus("Extracting archive ...");
    std::string archivePath = files_.TempFolder();
    EnsureFolder(files_, archivePath);
    archivePath += "update.zip";
    std::unique_ptr<HeldFile> archive = WriteArchive(archivePath);

    TUnZIP unzip(files_);
    unzip.SetArchiveFile(archivePath);
    unzip.SetExtractDir(installDir);
    unzip.FileSpec.clear();
    unzip.FileSpec.push_back("*.*");
    // Nothing of the game is touched until the whole update can be written: a game left half
    // updated would be worse than one left as it was.
    if (!AskUntilUpdateFits(unzip)) {
        RemoveArchive(*archive);
        return false;
    }

    // The old game executable goes before anything is unpacked, read-only or not; a missing
    // one is fine.
    std::string oldGame = installDir + "\\TIRMOLD.EXE";
    files_.SetAttributes(oldGame, kPlainFile);
    files_.RemoveFile(oldGame);

    window_.ShowStatus("Opening archive ...");
    Failures failures;
    Unpack(unzip, failures);
    // A file that could not be written (a scanner held it, the disk is full, the member is
    // damaged) leaves the update unrecorded, so that the next run does not take it as done.
    if (failures.count > 0) {
        CloseProgress();
        boxes_.Show(failures.Text(), "Error", BoxIcon::kStop, BoxButtons::kOk);
        RemoveArchive(*archive);
        return false;
    }

    window_.ShowStatus("Updating game information ...");
    CloseProgress();
    // The level is recorded before the shortcut and the clean-up, which may still fail.
    record_.WriteVersion(kUpdateVersion);

    window_.ShowStatus("Creating shortcuts ...");
    shortcuts_.CreateShortcut(installDir + "\\clans.url", "Clan-Verwaltung");
    RemoveArchive(*archive);
    return true;
}

std::unique_ptr<HeldFile> UpdateRun::WriteArchive(const std::string& archivePath) {
    std::unique_ptr<HeldFile> archive = files_.CreateHeld(archivePath);
    if (!archive) throw EKitError("EFCreateError", "Cannot create file " + archivePath);
    payload_.WriteTo(*archive);
    return archive;
}

bool UpdateRun::AskUntilUpdateFits(TUnZIP& unzip) {
    for (;;) {
        std::string first;
        WriteRefusal refusal;
        DriveInfo drive = files_.ExamineDrive(unzip.ExtractDir());
        // What the members take up on the drive, less what the files they replace take now.
        int64_t needed = 0;
        bool whole = unzip.ForEachDestination([&](const std::string& path, uint64_t size) {
            refusal = files_.CheckWritable(path);
            first = path;
            needed += static_cast<int64_t>(Allocated(size, drive.clusterBytes)) -
                      static_cast<int64_t>(Allocated(files_.FileSize(path), drive.clusterBytes));
            return !refusal;
        });
        if (!whole) {
            boxes_.Show("The update is damaged!\r\nPlease download it again", "Error", BoxIcon::kStop,
                        BoxButtons::kOk);
            return false;
        }
        std::string text;
        if (refusal)
            text = UnableToUpdate(first, Advice(refusal));
        else if (drive.known && needed > 0 && static_cast<uint64_t>(needed) > drive.freeBytes)
            text = NotEnoughSpaceText(drive, static_cast<uint64_t>(needed) - drive.freeBytes);
        else
            return true;
        if (boxes_.Show(text, "Error", BoxIcon::kStop, BoxButtons::kRetryCancel) != BoxAnswer::kRetry)
            return false;
    }
}

void UpdateRun::Unpack(TUnZIP& unzip, Failures& failures) {
    unzip.OnProgress = [&](uint8_t byFile, uint8_t byArchive) {
        window_.UnZIPProgress(unzip, byFile, byArchive);
    };
    unzip.OnError = [&](const std::string& name, const std::string& message, const WriteRefusal& refusal) {
        failures.Add(unzip.OutputPath().empty() ? name : unzip.OutputPath(), message, refusal);
    };
    const std::string localAppData = files_.LocalAppDataFolder();
    unzip.OnWritten = [&](const std::string& path) { RemoveVirtualStoreCopy(localAppData, path, failures); };
    unzip.RetryWait = [&](unsigned milliseconds) {
        window_.Wait(milliseconds);
        window_.ProcessMessages();
    };

    window_.Enlarge();
    window_.ShowProgress(true);
    window_.PaintNow();
    window_.ShowStatus("Copying files ...");
    window_.StartAnimation();
    unzip.Extract();
    window_.StopAnimation();
}

void UpdateRun::CloseProgress() {
    window_.ShowProgress(false);
    window_.PaintNow();
    window_.Shrink();
    window_.PaintNow();
}

void UpdateRun::RemoveArchive(HeldFile& archive) {
    window_.ShowStatus("Deleting any temporary files used ...");
    archive.Remove();
}

void UpdateRun::RemoveVirtualStoreCopy(const std::string& localAppData, const std::string& writtenPath,
                                       Failures& failures) {
    std::string copy = VirtualStoreCopy(localAppData, writtenPath);
    if (copy.empty()) return;
    WriteRefusal refusal = files_.RemoveBelow(VirtualStoreFolder(localAppData), copy);
    if (refusal) failures.Add(copy, std::string(), refusal);
}

void UpdateRun::Finish() {
    window_.ShowStatus("Finalizing ...");
    window_.SetCaption(kRestingCaption);
    window_.ShowStatusLine(false);
    window_.PaintNow();
    window_.ClosingAnimation();
    Pause();
    window_.Hide();
}

void UpdateRun::Pause() {
    for (int i = 0; i < kPauseSteps; ++i) {
        window_.Wait(kPauseStepMilliseconds);
        window_.ProcessMessages();
    }
}

namespace {

int ShowApplicationError(MessageBoxes& boxes, const std::string& moduleName, const char* className,
                         const void* address, const std::string& message) {
    char addressText[32];
    std::snprintf(addressText, sizeof addressText, "%0*llX", static_cast<int>(sizeof(void*) * 2),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
    boxes.Show(ApplicationErrorText(className, moduleName, addressText, message), "Application Error",
               BoxIcon::kStop, BoxButtons::kOk);
    return kExitApplicationError;
}

}  // namespace

int RunWithErrorBox(const std::function<int()>& run, MessageBoxes& boxes, const std::string& moduleName) {
    // Errors without an address of their own are placed here.
    const void* here = reinterpret_cast<const void*>(&RunWithErrorBox);
    try {
        return run();
    } catch (const EKitError& e) {
        return ShowApplicationError(boxes, moduleName, e.ClassName(), e.Address(), e.what());
    } catch (const EUnZipError& e) {
        return ShowApplicationError(boxes, moduleName, "EUnZipError", here, e.what());
    } catch (const std::bad_alloc&) {
        // Out of memory anywhere in the run, the extraction included.
        return ShowApplicationError(boxes, moduleName, "EOutOfMemory", here, "Out of memory");
    } catch (const std::exception& e) {
        return ShowApplicationError(boxes, moduleName, "Exception", here, e.what());
    }
}

}  // namespace tessarin

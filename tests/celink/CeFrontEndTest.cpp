// The device front end over PELLIX and the rapi.dll stand-in: loading, panel
// listings with reconnect-and-retry, and the job steps that copy, move and
// delete on the device.
#include <gtest/gtest.h>

#include <map>

#include "AppState.h"
#include "CeLink.h"
#include "JobTestSupport.h"
#include "fileops/Job.h"
#include "frontends/CeFrontEnd.h"
#include "wingui/ShellServices.h"
#include "frontends/Libraries.h"
#include "panels/EntryBuild.h"

namespace {

bool Connected(void*) {
    return gApp->ceConnected != 0;
}

struct ListedEntry {
    uint64_t size;
    uint16_t flags;
};
std::map<std::string, ListedEntry> Entries(const DirListing& listing) {
    std::map<std::string, ListedEntry> out;
    for (FileEntry** e = listing.entryIndex; e && *e; ++e)
        out[(*e)->name] = {FileEntrySize(*e), (*e)->flags};
    return out;
}

// A tree of `count` files over a few nested folders, contents from the index.
void MakeTree(const std::string& root, int count) {
    CreateDirectoryA(root.c_str(), nullptr);
    for (int i = 0; i < count; ++i) {
        std::string folder = root + "\\d" + std::to_string(i % 7);
        CreateDirectoryA(folder.c_str(), nullptr);
        if (i % 3 == 0) {
            folder += "\\sub";
            CreateDirectoryA(folder.c_str(), nullptr);
        }
        WriteFileBytes(folder + "\\f" + std::to_string(i) + ".dat",
                       std::string((size_t)(i * 37 % 9000), (char)('a' + i % 26)) + std::to_string(i));
    }
}

// Every file under `a` is under `b` with the same bytes, and the other way round.
void ExpectSameTree(const std::string& a, const std::string& b, int* files) {
    std::vector<std::string> na = ListNames(a), nb = ListNames(b);
    ASSERT_EQ(na, nb) << a << " vs " << b;
    for (const std::string& n : na) {
        std::string pa = a + "\\" + n, pb = b + "\\" + n;
        if (GetFileAttributesA(pa.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            ExpectSameTree(pa, pb, files);
        } else {
            EXPECT_TRUE(ReadFileBytes(pa) == ReadFileBytes(pb)) << pa;
            ++*files;
        }
    }
}

class CeFrontEnd : public ::testing::Test {
  protected:
    std::string root, device, local;
    LocationNode deviceNode{};

    void SetUp() override {
        JobTestInitApp();
        root = JobTestScratch("celink-front");
        device = root + "\\device";
        local = root + "\\local";
        CreateDirectoryA(device.c_str(), nullptr);
        CreateDirectoryA(local.c_str(), nullptr);
        SetEnvironmentVariableA("ZQ_CE_ROOT", device.c_str());
        for (const char* knob : {"ZQ_CE_DISCONNECT_AFTER", "ZQ_CE_HOSTILE_NAMES", "ZQ_CE_SLOW_MS"})
            SetEnvironmentVariableA(knob, nullptr);
        gCeLibraryName = "PELLIX.DLL";
        CeLoad();
        ASSERT_TRUE(gApp->ceEntry) << "PELLIX.DLL or rapi.dll missing beside the test";
        ASSERT_TRUE(PumpUntil(Connected, nullptr, 20000));
        deviceNode.kind = kLocationCeDevice;
    }
    void TearDown() override { CeUnload(); }

    JobRecord Job(bool fromDevice, bool toDevice) {
        JobRecord job = MakeJob(kJobCodeCopy, "", "", kJobInclSubDirs | kJobStatistics, nullptr);
        job.sourceLocation = fromDevice ? &deviceNode : nullptr;
        job.targetLocation = toDevice ? &deviceNode : nullptr;
        return job;
    }
    static CopyItem Item(JobRecord* job, const std::string& source, const std::string& target,
                         uint64_t size = 0) {
        CopyItem item = {};
        lstrcpynA(item.source, source.c_str(), sizeof item.source);
        lstrcpynA(item.target, target.c_str(), sizeof item.target);
        item.job = job;
        item.sourceSize = size;
        return item;
    }
    int ListPanel(const char* path, DirListing* listing) {
        lstrcpynA(deviceNode.innerPath, path, sizeof deviceNode.innerPath);
        *listing = DirListing{};
        return CeListPanel(&deviceNode, listing);
    }
};

} // namespace

TEST_F(CeFrontEnd, PanelShowsTheDeviceFolderExactly) {
    WriteFileBytes(device + "\\a.txt", "12345");
    WriteFileBytes(device + "\\b.bin", std::string(70000, 'b'));
    CreateDirectoryA((device + "\\Docs").c_str(), nullptr);
    WriteFileBytes(device + "\\Docs\\inner.txt", "x");
    DirListing listing;
    ASSERT_EQ(ListPanel("\\", &listing), 0);
    auto top = Entries(listing);
    DirListingFree(&listing);
    ASSERT_EQ(top.size(), 3u); // the root has no ".."
    EXPECT_EQ(top["a.txt"].size, 5u);
    EXPECT_EQ(top["b.bin"].size, 70000u);
    EXPECT_TRUE(top["Docs"].flags & kEntryFolder);

    ASSERT_EQ(ListPanel("\\Docs", &listing), 0);
    auto docs = Entries(listing);
    ASSERT_EQ(listing.entryIndex[0]->name, std::string("..")); // sorted first
    DirListingFree(&listing);
    ASSERT_EQ(docs.size(), 2u);
    EXPECT_TRUE(docs[".."].flags & kEntryUpDir);
    EXPECT_EQ(docs["inner.txt"].size, 1u);
}

TEST_F(CeFrontEnd, AnEmptyRootAndNamesThatAreNotPlain) {
    DirListing listing;
    EXPECT_EQ(ListPanel("\\", &listing), kCeEmpty);
    DirListingFree(&listing);
    WriteFileBytes(device + "\\good.txt", "g");
    SetEnvironmentVariableA("ZQ_CE_HOSTILE_NAMES", "1");
    CeStartConnect();
    ASSERT_TRUE(PumpUntil(Connected, nullptr, 20000));
    ASSERT_EQ(ListPanel("\\", &listing), 0);
    auto names = Entries(listing);
    DirListingFree(&listing);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names.begin()->first, "good.txt");
}

TEST_F(CeFrontEnd, ADroppedLinkIsReconnectedAndTheListingRetried) {
    WriteFileBytes(device + "\\a.txt", "a");
    SetEnvironmentVariableA("ZQ_CE_DISCONNECT_AFTER", "0");
    CeStartConnect(); // the knob takes hold at the next connect
    ASSERT_TRUE(PumpUntil(Connected, nullptr, 20000));
    DirListing listing;
    ASSERT_EQ(ListPanel("\\", &listing), 0);
    EXPECT_EQ(Entries(listing).size(), 1u);
    DirListingFree(&listing);

    // No device at all: a clear failure, no entries, well within the wait.
    SetEnvironmentVariableA("ZQ_CE_ROOT", (root + "\\absent").c_str());
    SetEnvironmentVariableA("ZQ_CE_DISCONNECT_AFTER", "0");
    CeStartConnect();
    ASSERT_TRUE(PumpUntil(Connected, nullptr, 20000));
    int result = ListPanel("\\", &listing);
    EXPECT_NE(result, 0);
    EXPECT_NE(result, kCeEmpty);
    EXPECT_EQ(listing.entryBlock, nullptr);
}

TEST_F(CeFrontEnd, ATreeOf500FilesCopiesBothWaysUnchanged) {
    MakeTree(local + "\\tree", 500);
    JobRecord up = Job(false, true);
    CopyItem item = Item(&up, local + "\\tree", "\\tree");
    ASSERT_EQ(CeJobCopyTree(&item), 0);
    EXPECT_EQ(up.errors, 0u);
    EXPECT_EQ(up.filesDone, 500u);
    int files = 0;
    ExpectSameTree(local + "\\tree", device + "\\tree", &files);
    EXPECT_EQ(files, 500);

    JobRecord down = Job(true, false);
    item = Item(&down, "\\tree", local + "\\back");
    ASSERT_EQ(CeJobCopyTree(&item), 0);
    EXPECT_EQ(down.errors, 0u);
    files = 0;
    ExpectSameTree(device + "\\tree", local + "\\back", &files);
    EXPECT_EQ(files, 500);
}

TEST_F(CeFrontEnd, MovesDeleteTheSourceOnlyAfterACompleteCopy) {
    MakeTree(device + "\\m", 20);
    JobRecord job = Job(true, false);
    CopyItem item = Item(&job, "\\m", local + "\\m");
    ASSERT_EQ(CeJobMoveTree(&item), 0);
    EXPECT_FALSE(Exists(device + "\\m"));
    EXPECT_EQ(job.filesDone, 20u);

    // The link drops in the middle of a file: the source stays, the target
    // name never holds a partial file, and the job says so.
    std::string big(300000, 'z');
    WriteFileBytes(local + "\\big.bin", big);
    SetEnvironmentVariableA("ZQ_CE_DISCONNECT_AFTER", "4");
    CeStartConnect();
    ASSERT_TRUE(PumpUntil(Connected, nullptr, 20000));
    JobRecord up = Job(false, true);
    CopyItem file = Item(&up, local + "\\big.bin", "\\big.bin", big.size());
    EXPECT_EQ(CeJobMoveFile(&file), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(up.state, kJobStop);
    EXPECT_GT(up.errors, 0u);
    EXPECT_TRUE(ReadFileBytes(local + "\\big.bin") == big);
    EXPECT_FALSE(Exists(device + "\\big.bin"));
}

TEST_F(CeFrontEnd, DeviceTreeDeleteAndNamesFromTheDeviceStayInside) {
    MakeTree(device + "\\gone", 30);
    SetFileAttributesA((device + "\\gone\\d1\\f1.dat").c_str(), FILE_ATTRIBUTE_READONLY);
    JobRecord job = Job(true, true);
    ASSERT_EQ(CeJobDeleteTree(&job, "\\gone"), 0);
    EXPECT_FALSE(Exists(device + "\\gone"));
    EXPECT_EQ(job.filesDone, 30u);

    WriteFileBytes(device + "\\ok.txt", "ok");
    SetEnvironmentVariableA("ZQ_CE_HOSTILE_NAMES", "1");
    CeStartConnect();
    ASSERT_TRUE(PumpUntil(Connected, nullptr, 20000));
    JobRecord down = Job(true, false);
    CreateDirectoryA((local + "\\in").c_str(), nullptr);
    CopyItem item = Item(&down, "\\", local + "\\in\\copy");
    CeJobCopyTree(&item);
    // The plain name arrived; the others were reported, and nothing was
    // written beside or above the chosen folder.
    EXPECT_EQ(ReadFileBytes(local + "\\in\\copy\\ok.txt"), "ok");
    EXPECT_GT(down.errors, 0u);
    EXPECT_EQ(ListNames(local + "\\in"), std::vector<std::string>{"copy"});
    EXPECT_EQ(ListNames(local + "\\in\\copy"), std::vector<std::string>{"ok.txt"});
    EXPECT_EQ(ListNames(local), std::vector<std::string>{"in"});
}

TEST_F(CeFrontEnd, ACombinationWithoutADeviceSideFails) {
    LocationNode ftp{};
    ftp.kind = kLocationFtp;
    JobRecord job = Job(true, false);
    job.targetLocation = &ftp;
    WriteFileBytes(device + "\\a.txt", "a");
    CopyItem item = Item(&job, "\\a.txt", "/a.txt");
    EXPECT_EQ(CeJobCopyFile(&item), 1);
    EXPECT_EQ(job.state, kJobStop);
    JobRecord tree = Job(false, false);
    item = Item(&tree, local, local + "x");
    EXPECT_EQ(CeJobCopyTree(&item), 1);
}

TEST_F(CeFrontEnd, AMissingLibraryIsSilentAndLeavesNoDeviceEntry) {
    CeUnload();
    gCeLibraryName = "NOPELLIX.DLL";
    auto oldBox = gMissingModuleBox;
    gMissingModuleBox = [](HWND, const char*, const char*, UINT) -> int {
        ADD_FAILURE() << "a box for the missing device library";
        return IDOK;
    };
    CeLoad();
    EXPECT_EQ(gApp->ceLib, nullptr);
    EXPECT_EQ(CeSendCommand(kCeList, 0, 0, 0, 0), -1);
    DirListing listing;
    EXPECT_EQ(ListPanel("\\", &listing), kCeNoLibrary);
    gMissingModuleBox = oldBox;
    gCeLibraryName = "PELLIX.DLL";

    // PELLIX binds rapi.dll by import: without RAPI beside it, it does not load.
    std::string alone = JobTestScratch("celink-alone");
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string bin = self;
    bin = bin.substr(0, bin.find_last_of('\\'));
    ASSERT_TRUE(CopyFileA((bin + "\\PELLIX.DLL").c_str(), (alone + "\\PELLIX.DLL").c_str(), FALSE));
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    HMODULE lone = LoadLibraryExA((alone + "\\PELLIX.DLL").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    SetErrorMode(oldMode);
    EXPECT_EQ(lone, nullptr);
    if (lone) FreeLibrary(lone);
}

#pragma once
// Shared set-up of the job tests: an application record, scratch folders in
// the sandbox's TEMP, trees of files, and a thread that answers a question
// dialog by its caption.
#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "JobRecord.h"

void JobTestInitApp();
std::string JobTestScratch(const char *name); // fresh, empty folder
void WriteFileBytes(const std::string &path, const std::string &data);
std::string ReadFileBytes(const std::string &path);
bool Exists(const std::string &path);
std::vector<std::string> ListNames(const std::string &folder);
// Selection of the given names of `folder` in that order (all entries, in
// the folder's order, when empty).
void *SelectionOf(const std::string &folder, const std::vector<std::string> &names = {});
// A job record for the worker tests (no dialog).
JobRecord MakeJob(uint16_t code, const std::string &sourceDir, const std::string &target, uint32_t flags,
                  void *selection);

// Answers the next `answers.size()` dialogs whose caption holds `caption`
// (case-sensitive), one control id each, in order. `before`, when given, runs
// with the answer's index while that dialog is up and before it is answered.
// Join before checking.
class DialogAnswerer {
  public:
    DialogAnswerer(const char *caption, std::vector<int> answers, std::function<void(int)> before = nullptr);
    ~DialogAnswerer();
    int answered() const { return answered_; }
    void Join();

  private:
    std::string caption_;
    std::vector<int> answers_;
    std::function<void(int)> before_;
    volatile int answered_ = 0;
    volatile bool stop_ = false;
    std::thread thread_;
};

// A UTC time as the date and time fields of the attributes dialog show it
// (local time, "dd.mm.yyyy" and "hh:mm:ss").
std::string LocalDateText(const FILETIME &utc);
std::string LocalTimeText(const FILETIME &utc);

// The lines of the stand-in editor's log (ZQEDIT_LOG; none when it is
// missing), and the file a logged command line names first.
std::vector<std::string> LogLines(const std::string &log);
std::string LoggedFile(const std::string &line);

// Pumps messages of this thread until `done` returns true or the time runs out.
bool PumpUntil(bool (*done)(void *), void *context, DWORD timeoutMs);
void PumpFor(DWORD ms);
// The same with any condition (30 s unless told).
template <class F> bool WaitUntil(F done, DWORD limitMs = 30000) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < limitMs;) {
        PumpFor(10);
        if (done())
            return true;
    }
    return done();
}

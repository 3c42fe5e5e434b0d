#pragma once

#include <ctime>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tasks/TaskChange.h"
#include "engine/tasks/TaskInfo.h"
#include "engine/tasks/TaskRecordTags.h"
#include "engine/tasks/TaskStoreFile.h"
#include "engine/tasks/TaskStoreText.h"
#include "engine/tasks/TaskValidation.h"

namespace zov {

// The task store: the enciphered tagged text of task.db and the records in it. Every change is written
// to the interface log and adjusts temp.ini. Safe to use from several threads. The record format, the
// file, due selection and validation are the units TaskRecord*, TaskStore*, DueTasks and TaskValidation.
class CQelXML {
  public:
    // clampKeepDays: FormatTask writes a keep-days value above kMaxServiceKeepDays as that value (the
    // service's behaviour); the management program turns it off and writes larger values unchanged.
    explicit CQelXML(bool clampKeepDays = true) : clampKeepDays_(clampKeepDays) {}
    CQelXML(const CQelXML&) = delete;
    CQelXML& operator=(const CQelXML&) = delete;

    void SetClampKeepDays(bool clamp);

    void SetFilePath(const std::string& path);
    // Reads task.db. A missing file gives an empty store. False, and the store unloaded, when no path
    // is set, or the file exists but cannot be read, is larger than kTaskStoreMaxFileSize or does not
    // decipher into a text. A refused file and every record that does not parse are reported with the
    // reason to syslog and system.log, once per version of the file.
    bool Load();
    // Replaces task.db atomically with the enciphered text; false when not loaded or the write failed.
    bool Save();
    bool IsLoaded() const;
    // True when a change since the last load or save is not in task.db yet (a change made without save,
    // or whose save failed).
    bool HasUnsavedChanges() const;
    // The record texts of the last load or change.
    std::vector<std::string> GetRecords() const;
    // The highest <ID> among the records, 0 when there are none, -1 when not loaded.
    int GetMaxTaskId() const;
    // Parses the first record whose <ID> is id.
    bool GetTaskById(int id, TaskInfo& task) const;

    // Adds (new id above every stored one), modifies (records of task.id keep their head up to </ID>)
    // or deletes (every record of task.id) a task, then saves when asked. markPastTimes notes the task's
    // times of day that have passed under "SUCCEED" in temp.ini, so they do not run today. False when
    // the store is not loaded (nothing logged), when an added or modified task is incomplete (nothing
    // changed) or when the save failed (the change stays in memory).
    bool ChangeTask(int type, TaskInfo& task, bool save, bool markPastTimes);
    // Switch the scheduled runs of a stored task on or off and save; false when it is not found or the
    // change failed.
    bool EnableSchedule(int id);
    bool DisableSchedule(int id);

    // Every record that parses, in file order (out is emptied first).
    void GetAllTasks(std::vector<TaskInfo>& out) const;
    // The tasks of every record due at the minute of when (out is emptied first; see DueTasks.h).
    void GetDueTasks(std::vector<TaskInfo>& out, std::time_t when) const;
    // The same for the current minute.
    void GetDueTasks(std::vector<TaskInfo>& out) const;
    // Checks a task before it is saved: kValidateError or kValidateWarning with a message, otherwise the
    // similarity 0..3 to the tasks due this minute.
    int ValidateTask(const TaskInfo& task, std::string& message) const;

    // The record text of a task; "" when the task is incomplete (a file task without source, an SQL
    // Server task without databases), when a value could not be read back (a name or folder holding one
    // of kNameForbidden, any value holding '<', '>', a NUL byte or the record marker) or, with newId, when
    // no id is left above the stored ones. Corrects out-of-range fields of task (flags outside 1..63
    // become kDefaultTaskFlags) and, with newId, gives it an id above every stored one.
    std::string FormatTask(TaskInfo& task, bool newId) const;

    // The record reader (ParseRecord of TaskRecordReader.h); reason is "" when the record is read.
    static bool ParseTask(const std::string& record, TaskInfo& task);
    static bool ParseTask(const std::string& record, TaskInfo& task, std::string& reason);
    // The functions of the same names in DueTasks.h, Schedule.h, TaskStoreText.h and TaskRecordTags.h.
    static bool AddDueTask(const std::string& record, std::vector<TaskInfo>& list, bool clearFirst,
                           std::time_t when);
    static std::vector<std::string> TimeItems(std::string_view times);
    static std::vector<std::string> SplitRecords(std::string_view text);
    static std::string TagValue(std::string_view record, std::string_view tag);
    static int DecimalValue(std::string_view value);
    static bool RecordHasId(std::string_view record, int id);

  private:
    int MaxTaskIdLocked() const;
    std::string FormatTaskLocked(TaskInfo& task, bool newId) const;
    bool SaveLocked();
    bool FindTaskLocked(int id, TaskInfo& task) const;
    bool ChangeTaskLocked(int type, TaskInfo& task, bool save, bool markPastTimes);
    bool SetScheduled(int id, bool on);

    mutable std::mutex mutex_;
    std::string filePath_;
    std::string text_;
    bool pathSet_ = false;
    bool loaded_ = false;
    bool unsaved_ = false;
    std::vector<std::string> records_;
    bool clampKeepDays_;
};

}  // namespace zov

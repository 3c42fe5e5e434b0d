// The file page benchmark's helper (offscreen).
//   file_page_bench log <program folder> <records> <runs>: writes today's file log of that many records,
//     then times, each of <runs> times in turn: reading and parsing the file alone; the log view made and
//     loaded with it; 100 lines more appended and the view's reload of them.
//   file_page_bench fill <program folder> <runs>: times, with the folder's task.db, the task store's load
//     alone and the file list's fill from the loaded store.
// Each prints one line per measure: its name, then the fastest and the median run in ms.
#include <QApplication>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/logs/LogLine.h"
#include "engine/settings/ProgramFiles.h"
#include "gui/pages/BackupLogDlg.h"
#include "gui/pages/FileBackupListDlg.h"
#include "gui/pages/FileBackupSetupDlg.h"
#include "gui/pages/FileLogView.h"
#include "gui/shell/AutoAnswerPrompter.h"
#include "gui/shell/TaskStore.h"
#include "platform/Clock.h"
#include "platform/ProgramDir.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration spent) { return std::chrono::duration<double, std::milli>(spent).count(); }

struct Times {
    std::vector<double> runs;
    void Print(const char* name) {
        std::sort(runs.begin(), runs.end());
        std::printf("%s %.3f %.3f\n", name, runs.front(), runs[runs.size() / 2]);
    }
};

double Time(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return Ms(Clock::now() - start);
}

std::string TodaysLog() {
    return zov::LogFolder() + "Files/" + zov::FormatLocalTime(zov::Now(), "%Y-%m-%d") + ".log";
}

// A record of today as the log writer writes it.
std::string Line(int number) {
    const std::string name = "任务" + std::to_string(number % 850);
    return "文件日志\t" + zov::FormatLocalTime(zov::Now(), "%Y-%m-%d %H:%M:%S") + "\t" +
           std::to_string(number % 850) + "\t" + name + "\t普通\t/srv/data/" + name + "\t/backup/" + name +
           "/2024-05-06/" + name + "_20240506013000.rar\t12秒\t成功\t压缩完成\n";
}

void Append(const std::string& path, int first, int count) {
    std::ofstream out(path, std::ios::app | std::ios::binary);
    for (int number = first; number < first + count; ++number) out << Line(number);
}

// Reading the day file and parsing each line, as the view's reader does, without the view.
std::size_t ReadAndParse(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string text(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    std::vector<zov::LogRecord> records;
    std::string_view lines(text);
    while (!lines.empty()) {
        const std::size_t newline = lines.find('\n');
        if (std::optional<zov::LogRecord> record = zov::ParseLogLine(lines.substr(0, newline))) {
            records.push_back(std::move(*record));
        }
        lines.remove_prefix(newline == std::string_view::npos ? lines.size() : newline + 1);
    }
    return records.size();
}

int Log(int records, int runs) {
    const std::string path = TodaysLog();
    std::filesystem::create_directories(zov::LogFolder() + "Files");
    std::filesystem::remove(path);
    Append(path, 0, records);
    Times parse, load, reload;
    int appended = records;
    for (int run = 0; run < runs; ++run) {
        std::size_t parsed = 0;
        parse.runs.push_back(Time([&] { parsed = ReadAndParse(path); }));
        std::optional<zov::gui::CBackupLogDlg> view;
        load.runs.push_back(Time([&] {
            view.emplace(zov::gui::FileLogViewConfig(), nullptr);
            view->Load();
        }));
        Append(path, appended, 100);
        appended += 100;
        reload.runs.push_back(Time([&] { view->Load(); }));
        if (view->rows().rowCount() != appended || parsed + 100 != static_cast<std::size_t>(appended))
            return 1;
    }
    parse.Print("read+parse");
    load.Print("view-load");
    reload.Print("view-reload-100");
    return 0;
}

int Fill(int runs) {
    zov::CQelXML& store = zov::gui::TaskStore();
    store.SetFilePath(zov::TaskDbPath());
    Times load, fill;
    zov::gui::CFileBackupSetupDlg editor(nullptr);
    std::optional<zov::gui::CFileBackupListDlg> list;
    for (int run = 0; run < runs; ++run) {
        load.runs.push_back(Time([&] { store.Load(); }));
        if (!list) list.emplace(editor, nullptr);
        fill.runs.push_back(Time([&] { list->Fill(); }));
        if (list->list()->topLevelItemCount() < 800) return 1;
    }
    load.Print("store-load");
    fill.Print("list-fill");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s log <folder> <records> <runs> | fill <folder> <runs>\n", argv[0]);
        return 2;
    }
    zov::SetProgramDir(argv[2]);
    zov::gui::AutoAnswerPrompter prompter;
    zov::gui::SetPrompter(&prompter);
    const std::string mode = argv[1];
    if (mode == "log" && argc == 5) return Log(std::atoi(argv[3]), std::atoi(argv[4]));
    if (mode == "fill") return Fill(std::atoi(argv[3]));
    return 2;
}

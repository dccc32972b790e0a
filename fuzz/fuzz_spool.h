// How a fuzz input becomes a run of the spool monitor over a folder where anything happens:
// jobs written, held open, overwritten, replaced by links and folders, left-over queue files, a
// printer that fails, time that passes, the user's print-again and delete, a damaged journal
// and restarts. Shared by the fuzz target and the regression test, so that a saved input
// replays exactly as the fuzzer ran it.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/job_queue.h"
#include "pipeline/print_worker.h"
#include "platform/errors.h"
#include "printers/simulated/simulated_printer.h"

namespace zelmo::fuzz {

// Everything a scenario runs on: a private folder, the printer, the pipeline.
class SpoolWorld : public PrinterNameDisplay, public ExceptionDisplay {
  public:
    SpoolWorld() : printer_(smallPrinter()) {
        char name[] = "/tmp/zelmo-spool-fuzz-XXXXXX";
        if (!::mkdtemp(name)) std::abort();
        base_ = name;
        dir_ = base_ + "/folder/";
        ::mkdir(dir_.c_str(), 0755);
        writeFile(base_ + "/outside", job(kOutsideJob));
        printer_.setStartDocHook([this](int) {
            if (failures_ > 0) {
                --failures_;
                throw PrinterError("Printer selected is not valid");
            }
        });
        start();
    }
    ~SpoolWorld() {
        stop();
        if (held_ >= 0) ::close(held_);
        std::error_code ignored;
        std::filesystem::remove_all(base_, ignored);
    }
    SpoolWorld(const SpoolWorld&) = delete;
    SpoolWorld& operator=(const SpoolWorld&) = delete;

    // Runs one operation chosen by op with argument arg.
    void step(uint8_t op, uint8_t arg) {
        switch (op % 12) {
            case 0:
                if (held_ >= 0) break;  // the writer is busy with the last one
                ++lastId_;
                writeJob(job(lastId_), lastId_);
                break;
            case 1:
                writeJob(std::vector<uint8_t>{'t', 'e', 'x', 't'}, 0);
                break;
            case 2:
                writeJob({}, 0);
                break;
            case 3:
                toggleHeld();
                break;
            case 4:
                replaceJobFile(arg % 2 ? "link" : "folder");
                break;
            case 5:
                tick();
                break;
            case 6:
                failures_ = arg % 12;
                break;
            case 7:
                now_ += std::chrono::seconds(arg);
                break;
            case 8:
                printAgain(queueName(arg));
                break;
            case 9:
                deleteByUser(queueName(arg));
                break;
            case 10:
                restart();
                break;
            case 11:
                damage(arg);
                break;
        }
    }

    // Lets the pipeline finish what it can, stops it and says what went wrong ("" for nothing).
    std::string verdict() {
        failures_ = 0;
        for (int i = 0; i < 40; ++i) {
            now_ += std::chrono::minutes(1);
            tick();
        }
        stop();
        std::map<int, int> printed;
        for (const auto& doc : printer_.memory().documents)
            if (doc.ended && !doc.aborted && !doc.sheets.empty())
                ++printed[idOfSheet(doc.sheets.front())];
        if (printed.count(kOutsideJob)) return "printed a file through a link";
        if (readFile(base_ + "/outside") != job(kOutsideJob)) return "wrote through a link";
        std::set<int> onDisk;
        for (const auto& entry : std::filesystem::directory_iterator(dir_))
            if (entry.is_regular_file()) onDisk.insert(idOfFile(readFile(entry.path().string())));
        for (const auto& [id, times] : printed) {
            if (id <= 0) continue;
            if (times > 1 && !reprinted_.count(id))
                return "job " + std::to_string(id) + " printed twice";
            if (leftovers_.count(id) && !reprinted_.count(id)) return "a leftover printed unasked";
        }
        for (int id = 1; id <= lastId_; ++id) {
            if (printed.count(id) || onDisk.count(id) || gone_.count(id) || leftovers_.count(id))
                continue;
            return "job " + std::to_string(id) + " lost";
        }
        return "";
    }

  private:
    static constexpr int kOutsideJob = 4000;

    static SimulatedPrinterConfig smallPrinter() {
        SimulatedPrinterConfig c;
        c.width = 300;
        c.height = 450;
        c.dpi = 300;
        return c;
    }
    // A one-page job whose single dot tells its id.
    static std::vector<uint8_t> job(int id) {
        const std::string text = "\x1b*t300R\x1b*p" + std::to_string(8 + (id % 128) * 2) + "x" +
                                 std::to_string(8 + (id / 128) * 2) + "Y\x1b*b1W\x80\x0c";
        return std::vector<uint8_t>(text.begin(), text.end());
    }
    // The numbered jobs print one dot; a bare-text job's letters tell no id.
    static int idOfSheet(const Sheet& sheet) {
        if (sheet.blackCount() != 1) return -1;
        for (int y = 0; y < sheet.height; ++y)
            for (int x = 0; x < sheet.width; ++x)
                if (sheet.black(x, y)) return (y - 8) / 2 * 128 + (x - 8) / 2;
        return -1;
    }
    static int idOfFile(const std::vector<uint8_t>& bytes) {
        const std::string text(bytes.begin(), bytes.end());
        const auto p = text.find("*p");
        if (p == std::string::npos) return -1;
        const int x = std::atoi(text.c_str() + p + 2);
        const auto y = text.find('x', p);
        return (std::atoi(text.c_str() + y + 1) - 8) / 2 * 128 + (x - 8) / 2;
    }
    static void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    static std::vector<uint8_t> readFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    std::string jobFile() const { return dir_ + "Wydruk.prn"; }
    std::string queueName(uint8_t arg) const {
        return "Zelmo" + std::to_string(arg % 6 + 1) + ".Prn";
    }

    // Whatever holds the job file's name goes; a job not yet captured is overwritten and gone.
    void clearJobFile() {
        struct stat st {};
        if (::lstat(jobFile().c_str(), &st) != 0) return;
        if (S_ISREG(st.st_mode)) gone_.insert(idOfFile(readFile(jobFile())));
        if (S_ISDIR(st.st_mode))
            ::rmdir(jobFile().c_str());
        else
            ::unlink(jobFile().c_str());
    }
    // The accounting program writes a printout. With an empty one comes a queue file as an
    // earlier run would have left it, which must never print unasked.
    void writeJob(const std::vector<uint8_t>& bytes, int id) {
        if (held_ >= 0) return;
        clearJobFile();
        if (id == 0 && bytes.empty()) {
            const int leftover = ++lastId_;
            leftovers_.insert(leftover);
            const std::string name = dir_ + queueName(static_cast<uint8_t>(leftover));
            writeFile(name + ".new", job(leftover));
            // Linked, so that a queue file of that name is never replaced.
            if (::link((name + ".new").c_str(), name.c_str()) != 0) gone_.insert(leftover);
            ::unlink((name + ".new").c_str());
        }
        writeFile(jobFile(), bytes);
    }
    // A writer opens the job file and keeps it open, or closes the one it held.
    void toggleHeld() {
        if (held_ >= 0) {
            ::close(held_);
            held_ = -1;
            return;
        }
        held_ = ::open(jobFile().c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    }
    // Something that is not a job takes the job file's name.
    void replaceJobFile(const std::string& what) {
        if (held_ >= 0) return;
        clearJobFile();
        if (what == "link")
            ::symlink((base_ + "/outside").c_str(), jobFile().c_str());
        else
            ::mkdir(jobFile().c_str(), 0755);
    }
    // One timer tick, then the time a job takes to print.
    void tick() {
        monitor_->tick(settings_, *this);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!state_->workerIdle() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    void printAgain(const std::string& name) {
        const int id = idOfFile(readFile(dir_ + name));
        if (monitor_->printAgain(name)) reprinted_.insert(id);
    }
    void deleteByUser(const std::string& name) {
        const int id = idOfFile(readFile(dir_ + name));
        if (monitor_->deleteQueueFile(name)) gone_.insert(id);
    }
    // The journal cut short, emptied, or overwritten with names that are no queue files. (One
    // that names another queue file as waiting would be obeyed: it is the journal.)
    void damage(uint8_t arg) {
        const std::string path = dir_ + kJournalName;
        std::vector<uint8_t> bytes = readFile(path);
        if (arg % 3 == 0) {
            bytes.resize(std::min<std::size_t>(bytes.size(), arg / 3u));
        } else if (arg % 3 == 1) {
            const std::string junk =
                "waiting ../outside\nwaiting Zelmo0.Prn\nprinting /etc/passwd\n\xff\x00";
            bytes.assign(junk.begin(), junk.end());
        } else {
            bytes.clear();
        }
        writeFile(path, bytes);
    }
    void start() {
        state_ = std::make_unique<HandOver>();
        monitor_ = std::make_unique<SpoolMonitor>(dir_, *state_, printer_, metrics_);
        monitor_->setClock([this] { return now_; });
        monitor_->resume();
        worker_ = std::make_unique<PrintWorker>(*state_, printer_, metrics_, *this);
    }
    void stop() {
        if (!worker_) return;
        monitor_->shutdown(*worker_);
        worker_.reset();
        monitor_.reset();
        state_.reset();
    }
    void restart() {
        stop();
        start();
    }
    void showPrinterName(const std::string&) override {}
    void showException(const ZelmoError&) override {}

    std::string base_;
    std::string dir_;
    SimulatedPrinter printer_;
    DeviceMetrics metrics_;
    PrintRequest settings_;
    std::unique_ptr<HandOver> state_;
    std::unique_ptr<SpoolMonitor> monitor_;
    std::unique_ptr<PrintWorker> worker_;
    WallTime now_ = WallTime{} + std::chrono::hours(24 * 365 * 57);
    int failures_ = 0;
    int held_ = -1;
    int lastId_ = 0;
    std::set<int> gone_;       // overwritten before capture or deleted by the user
    std::set<int> leftovers_;  // put in the folder as queue files, never to print unasked
    std::set<int> reprinted_;  // the user asked for them again
};

// Runs the operations of an input, two bytes each; "" when every rule held.
inline std::string runSpoolInput(const uint8_t* data, std::size_t size) {
    SpoolWorld world;
    for (std::size_t i = 0; i + 1 < size && i < 400; i += 2)
        world.step(data[i], data[i + 1]);
    return world.verdict();
}

}  // namespace zelmo::fuzz

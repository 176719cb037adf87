#include "platform/linux/crash_report.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace {

constexpr int kMaxFrames = 64;
constexpr std::size_t kMapsSize = 256 * 1024;

// Static: a crash may come from a blown stack or a broken heap.
char g_maps[kMapsSize];

class ReportWriter {
public:
    explicit ReportWriter(int fd) : fd_(fd) {}
    ~ReportWriter() { Flush(); }
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    ReportWriter& Text(const char* text) { return Bytes(text, std::strlen(text)); }
    ReportWriter& Bytes(const char* bytes, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            if (used_ == sizeof buffer_) Flush();
            buffer_[used_++] = bytes[i];
        }
        return *this;
    }
    ReportWriter& Hex(uintptr_t value) {
        char digits[2 + 2 * sizeof value];
        std::size_t n = sizeof digits;
        do {
            digits[--n] = "0123456789abcdef"[value & 0xF];
            value >>= 4;
        } while (value && n > 2);
        digits[--n] = 'x';
        digits[--n] = '0';
        return Bytes(digits + n, sizeof digits - n);
    }
    ReportWriter& Decimal(long value) {
        char digits[24];
        std::size_t n = sizeof digits;
        const bool negative = value < 0;
        unsigned long magnitude = negative ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
        do {
            digits[--n] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude);
        if (negative) digits[--n] = '-';
        return Bytes(digits + n, sizeof digits - n);
    }
    bool Failed() const { return failed_; }

private:
    void Flush() {
        std::size_t done = 0;
        while (done < used_) {
            const ssize_t n = write(fd_, buffer_ + done, used_ - done);
            if (n <= 0) {
                failed_ = true;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        used_ = 0;
    }

    int fd_;
    char buffer_[4096];
    std::size_t used_ = 0;
    bool failed_ = false;
};

std::size_t ReadMemoryMap() {
    const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    std::size_t size = 0;
    ssize_t n = 0;
    while (size < kMapsSize - 1 && (n = read(fd, g_maps + size, kMapsSize - 1 - size)) > 0) size += static_cast<std::size_t>(n);
    close(fd);
    g_maps[size] = '\0';
    return size;
}

uintptr_t ParseHex(const char*& p) {
    uintptr_t value = 0;
    for (;; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9') value = value * 16 + static_cast<uintptr_t>(c - '0');
        else if (c >= 'a' && c <= 'f') value = value * 16 + static_cast<uintptr_t>(c - 'a' + 10);
        else return value;
    }
}

// "start-end perms offset dev inode path": the module and its offset for an address.
bool FindModule(uintptr_t address, const char*& path, std::size_t& pathLength, uintptr_t& offset) {
    for (const char* line = g_maps; *line;) {
        const char* end = std::strchr(line, '\n');
        if (!end) end = line + std::strlen(line);
        const char* p = line;
        const uintptr_t start = ParseHex(p);
        if (*p == '-') ++p;
        const uintptr_t stop = ParseHex(p);
        if (address >= start && address < stop) {
            p = std::strchr(p, ' ');
            if (p && p < end) p = std::strchr(p + 1, ' ');
            const uintptr_t fileOffset = p && p < end ? ParseHex(++p) : 0;
            const char* name = static_cast<const char*>(std::memchr(line, '/', static_cast<std::size_t>(end - line)));
            path = name ? name : "?";
            pathLength = name ? static_cast<std::size_t>(end - name) : 1;
            offset = address - start + fileOffset;
            return true;
        }
        line = *end ? end + 1 : end;
    }
    return false;
}

void WriteCause(ReportWriter& out, const CrashInfo& info) {
    out.Text("Velk crash report\nreason: ");
    if (info.signal != 0) {
        out.Text("signal ").Decimal(info.signal).Text(" (").Text(sigabbrev_np(info.signal) ? sigabbrev_np(info.signal) : "?").Text(")");
    } else {
        out.Text(info.reason ? info.reason : "unknown");
    }
    out.Text("\nfault address: ").Hex(reinterpret_cast<uintptr_t>(info.fault_address)).Text("\n");
}

void WriteRegisters(ReportWriter& out, const CrashInfo& info) {
    out.Text("registers:\n");
#if defined(__x86_64__)
    if (!info.machine_context) return;
    static const struct {
        const char* name;
        int index;
    } kRegisters[] = {{"rip", REG_RIP}, {"rsp", REG_RSP}, {"rbp", REG_RBP}, {"rax", REG_RAX}, {"rbx", REG_RBX},
                      {"rcx", REG_RCX}, {"rdx", REG_RDX}, {"rsi", REG_RSI}, {"rdi", REG_RDI}, {"r8", REG_R8},
                      {"r9", REG_R9},   {"r10", REG_R10}, {"r11", REG_R11}, {"r12", REG_R12}, {"r13", REG_R13},
                      {"r14", REG_R14}, {"r15", REG_R15}, {"eflags", REG_EFL}};
    const auto* context = static_cast<const ucontext_t*>(info.machine_context);
    for (const auto& reg : kRegisters)
        out.Text("  ").Text(reg.name).Text(" ").Hex(static_cast<uintptr_t>(context->uc_mcontext.gregs[reg.index])).Text("\n");
#else
    (void)info;
#endif
}

void WriteBacktrace(ReportWriter& out) {
    void* frames[kMaxFrames];
    const int count = backtrace(frames, kMaxFrames);
    out.Text("backtrace:\n");
    for (int i = 0; i < count; ++i) {
        const auto address = reinterpret_cast<uintptr_t>(frames[i]);
        out.Text("  #").Decimal(i).Text(" ").Hex(address);
        const char* path = nullptr;
        std::size_t pathLength = 0;
        uintptr_t offset = 0;
        if (FindModule(address, path, pathLength, offset)) out.Text(" ").Bytes(path, pathLength).Text(" +").Hex(offset);
        out.Text("\n");
    }
}

}  // namespace

void PrepareCrashReport() {
    void* frame[1];
    backtrace(frame, 1);
}

bool WriteCrashReportFile(const char* path, const CrashInfo& info) {
    static const char kNotice[] = "writing minidump\r\n";
    [[maybe_unused]] const ssize_t noticed = write(STDERR_FILENO, kNotice, sizeof kNotice - 1);
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_SYNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool failed = false;
    {
        const std::size_t mapsSize = ReadMemoryMap();
        ReportWriter out(fd);
        WriteCause(out, info);
        WriteRegisters(out, info);
        WriteBacktrace(out);
        out.Text("memory map:\n").Bytes(g_maps, mapsSize);
        failed = out.Failed();
    }
    close(fd);
    return !failed;
}

#include "engine/JournalGuard.h"

#include "engine/Files.h"

#include <QByteArray>
#include <QFileInfo>
#include <QRegularExpression>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sqlite3.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace engine {

namespace {

constexpr std::array<unsigned char, 8> kJournalMagic{0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
constexpr int kHeaderBytes = 28;
// The end of a journal that names a super-journal: name length, name checksum, magic.
constexpr int kSuperTrailer = 16;
const char* const kJournalSuffix = "-journal";

sqlite3_vfs* platform = nullptr;
sqlite3_vfs guard;

// The database files this process opened: only their journals are deleted as journals.
std::mutex openedMutex;
std::set<std::string> opened;

quint32 bigEndian32(const unsigned char* p) {
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isRealFolder(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isControlFolder(const std::string& folder) {
    static const std::string controlName =
        QFileInfo(controlFolderOf(QStringLiteral("/"))).fileName().toStdString();
    return nameOf(folder) == controlName && isRealFolder(folder);
}

// A super-journal SQLite names after a connection's main file: "<main>-mj", six hex digits, a 9, two more.
bool isSuperJournalOf(const std::string& path, const std::string& mainFile) {
    static const QRegularExpression tail(QStringLiteral("^-mj[0-9A-F]{6}9[0-9A-F]{2}$"));
    return path.size() > mainFile.size() && path.compare(0, mainFile.size(), mainFile) == 0 &&
           tail.match(QString::fromStdString(path.substr(mainFile.size()))).hasMatch();
}

// A super-journal of some workstation's connection in a database's control folder (of the given
// database folder, when one is given).
bool isControlSuperJournal(const std::string& path, const std::string& databaseFolder) {
    static const QRegularExpression name(QStringLiteral("^conn-[^/]+\\.db-mj[0-9A-F]{6}9[0-9A-F]{2}$"));
    const std::string folder = folderOf(path);
    if (path.empty() || path[0] != '/' || path.find("/../") != std::string::npos ||
        path.find("/./") != std::string::npos || path.find("//") != std::string::npos)
        return false;
    if (!databaseFolder.empty() && folderOf(folder) != databaseFolder) return false;
    return isControlFolder(folder) && name.match(QString::fromStdString(nameOf(path))).hasMatch();
}

bool openedHere(const std::string& mainFile) {
    const std::lock_guard<std::mutex> hold(openedMutex);
    return opened.count(mainFile) > 0;
}

// The page size a table file's header states, read through the platform's file system so that
// the locks other connections of this process hold on the file survive the close; 0 when it has
// none.
int pageSizeOf(const std::string& tablePath) {
    std::vector<std::byte> memory(size_t(platform->szOsFile) + 16);
    auto* file = reinterpret_cast<sqlite3_file*>(memory.data());
    std::vector<char> name(tablePath.begin(), tablePath.end());
    name.resize(name.size() + 4, '\0'); // SQLite looks for parameters after a database name
    int outFlags = 0;
    if (platform->xOpen(platform, name.data(), file, SQLITE_OPEN_READONLY | SQLITE_OPEN_MAIN_DB, &outFlags) !=
        SQLITE_OK) {
        if (file->pMethods) file->pMethods->xClose(file);
        return 0;
    }
    std::array<unsigned char, 100> header{};
    const int rc = file->pMethods->xRead(file, header.data(), int(header.size()), 0);
    file->pMethods->xClose(file);
    if (rc != SQLITE_OK || std::memcmp(header.data(), "SQLite format 3", 16) != 0) return 0;
    const int size = (header[16] << 8) | header[17];
    return size == 1 ? 65536 : size;
}

// SQLite reads the name of the super-journal from the end of a journal, whatever its header says.
std::string superJournalRefusal(int fd, qint64 size, const std::string& tablePath) {
    std::array<unsigned char, kSuperTrailer> trailer{};
    if (size < kSuperTrailer ||
        ::pread(fd, trailer.data(), trailer.size(), size - kSuperTrailer) != kSuperTrailer ||
        std::memcmp(&trailer[8], kJournalMagic.data(), 8) != 0)
        return {};
    const quint32 length = bigEndian32(&trailer[0]);
    quint32 checksum = bigEndian32(&trailer[4]);
    if (length == 0 || length >= quint32(platform->mxPathname + 1) || qint64(length) > size - kSuperTrailer)
        return {};
    std::vector<char> name(length);
    if (::pread(fd, name.data(), length, size - kSuperTrailer - length) != ssize_t(length)) return {};
    for (const char c : name)
        checksum -= quint32(c);
    const std::string super(name.data(), ::strnlen(name.data(), length));
    if (checksum != 0 || super.empty() || isControlSuperJournal(super, folderOf(tablePath))) return {};
    return "its journal names " + super +
           " as its super-journal, which is not a file of this database's control folder";
}

std::string headerRefusal(const std::array<unsigned char, kHeaderBytes>& header, ssize_t got,
                          const std::string& tablePath) {
    if (got >= 1 && header[0] == 0) return {}; // zeroed: finished, SQLite does not play it back
    if (got < kHeaderBytes || std::memcmp(header.data(), kJournalMagic.data(), 8) != 0)
        return "its journal does not begin as a journal does";
    const quint32 originalPages = bigEndian32(&header[16]);
    const quint32 sector = bigEndian32(&header[20]);
    const quint32 pageSize = bigEndian32(&header[24]);
    const int tablePageSize = pageSizeOf(tablePath);
    if (sector < 32 || sector > 65536 || (sector & (sector - 1)) != 0)
        return "its journal states an impossible sector size";
    if (tablePageSize == 0 || int(pageSize) != tablePageSize)
        return "its journal is for pages of another size than the table's";
    if (originalPages == 0) return "its journal would empty the table";
    return {};
}

std::string refusal(const std::string& tablePath) {
    const std::string journal = tablePath + kJournalSuffix;
    struct stat st;
    if (::lstat(journal.c_str(), &st) != 0) return {};
    if (!S_ISREG(st.st_mode)) return "its journal is not a plain file";
    if (st.st_size == 0) return {}; // not hot: SQLite removes it
    const int fd = ::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return {}; // SQLite cannot read it either, and says so
    std::array<unsigned char, kHeaderBytes> header{};
    const ssize_t got = ::pread(fd, header.data(), header.size(), 0);
    // What the journal would delete is named first.
    std::string why = superJournalRefusal(fd, st.st_size, tablePath);
    if (why.empty()) why = headerRefusal(header, got, tablePath);
    ::close(fd);
    return why;
}

std::string mainFileOfJournal(const std::string& journal) {
    return endsWith(journal, kJournalSuffix) ? journal.substr(0, journal.size() - std::strlen(kJournalSuffix))
                                             : std::string();
}

void takeFolderAccess(const char* path) {
    const std::string folder = folderOf(path);
    struct stat st;
    if (!isControlFolder(folder) || ::stat(folder.c_str(), &st) != 0) return;
    // Through a descriptor that follows no link: the file is new, nobody holds locks on it yet.
    const int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    ::fchmod(fd, st.st_mode & 0666);
    ::close(fd);
}

int guardOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    if (name) {
        const std::string path(name);
        if ((flags & SQLITE_OPEN_MAIN_JOURNAL) && !(flags & SQLITE_OPEN_CREATE)) {
            // Opened for playing back: hot.
            const std::string table = mainFileOfJournal(path);
            if (table.empty() || !refusal(table).empty()) {
                file->pMethods = nullptr;
                return SQLITE_CORRUPT;
            }
        }
        // Read as a super-journal: a super-journal being deleted, or each journal it lists, which
        // SQLite opens under that flag to see whether it still refers to the super-journal.
        if ((flags & SQLITE_OPEN_SUPER_JOURNAL) && !(flags & SQLITE_OPEN_CREATE) &&
            !isControlSuperJournal(path, {}) && !endsWith(path, kJournalSuffix)) {
            file->pMethods = nullptr;
            return SQLITE_CANTOPEN;
        }
    }
    const bool existed = name && ::access(name, F_OK) == 0;
    const int rc = platform->xOpen(platform, name, file, flags, outFlags);
    if (rc == SQLITE_OK && name) {
        if (flags & SQLITE_OPEN_MAIN_DB) {
            const std::lock_guard<std::mutex> hold(openedMutex);
            opened.insert(name);
        }
        if (!existed && (flags & SQLITE_OPEN_CREATE)) takeFolderAccess(name);
    }
    return rc;
}

int guardDelete(sqlite3_vfs*, const char* name, int syncDir) {
    const std::string path(name);
    bool allowed = isControlSuperJournal(path, {});
    for (const char* suffix : {kJournalSuffix, "-wal", "-shm"})
        if (!allowed && endsWith(path, suffix))
            allowed = openedHere(path.substr(0, path.size() - std::strlen(suffix)));
    if (!allowed) {
        // A connection's own super-journal beside a main file kept outside a control folder.
        const auto mj = path.rfind("-mj");
        allowed = mj != std::string::npos && openedHere(path.substr(0, mj)) &&
                  isSuperJournalOf(path, path.substr(0, mj));
    }
    if (!allowed) return SQLITE_IOERR_DELETE;
    return platform->xDelete(platform, name, syncDir);
}

int guardAccess(sqlite3_vfs*, const char* name, int flags, int* out) {
    return platform->xAccess(platform, name, flags, out);
}
int guardFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    return platform->xFullPathname(platform, name, size, out);
}
void* guardDlOpen(sqlite3_vfs*, const char* name) {
    return platform->xDlOpen(platform, name);
}
void guardDlError(sqlite3_vfs*, int size, char* out) {
    platform->xDlError(platform, size, out);
}
void (*guardDlSym(sqlite3_vfs*, void* lib, const char* symbol))(void) {
    return platform->xDlSym(platform, lib, symbol);
}
void guardDlClose(sqlite3_vfs*, void* lib) {
    platform->xDlClose(platform, lib);
}
int guardRandomness(sqlite3_vfs*, int size, char* out) {
    return platform->xRandomness(platform, size, out);
}
int guardSleep(sqlite3_vfs*, int microseconds) {
    return platform->xSleep(platform, microseconds);
}
int guardCurrentTime(sqlite3_vfs*, double* out) {
    return platform->xCurrentTime(platform, out);
}
int guardGetLastError(sqlite3_vfs*, int size, char* out) {
    return platform->xGetLastError ? platform->xGetLastError(platform, size, out) : 0;
}
int guardCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
    return platform->xCurrentTimeInt64(platform, out);
}
int guardSetSystemCall(sqlite3_vfs*, const char* name, sqlite3_syscall_ptr call) {
    return platform->xSetSystemCall(platform, name, call);
}
sqlite3_syscall_ptr guardGetSystemCall(sqlite3_vfs*, const char* name) {
    return platform->xGetSystemCall(platform, name);
}
const char* guardNextSystemCall(sqlite3_vfs*, const char* name) {
    return platform->xNextSystemCall(platform, name);
}

} // namespace

void installJournalGuard() {
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_initialize();
        platform = sqlite3_vfs_find(nullptr);
        if (!platform) return;
        guard = sqlite3_vfs{};
        guard.iVersion = platform->iVersion < 3 ? platform->iVersion : 3;
        guard.szOsFile = platform->szOsFile;
        guard.mxPathname = platform->mxPathname;
        guard.zName = "vardimo-guard";
        guard.xOpen = guardOpen;
        guard.xDelete = guardDelete;
        guard.xAccess = guardAccess;
        guard.xFullPathname = guardFullPathname;
        guard.xDlOpen = guardDlOpen;
        guard.xDlError = guardDlError;
        guard.xDlSym = guardDlSym;
        guard.xDlClose = guardDlClose;
        guard.xRandomness = guardRandomness;
        guard.xSleep = guardSleep;
        guard.xCurrentTime = guardCurrentTime;
        guard.xGetLastError = guardGetLastError;
        if (guard.iVersion >= 2) guard.xCurrentTimeInt64 = guardCurrentTimeInt64;
        if (guard.iVersion >= 3) {
            guard.xSetSystemCall = guardSetSystemCall;
            guard.xGetSystemCall = guardGetSystemCall;
            guard.xNextSystemCall = guardNextSystemCall;
        }
        sqlite3_vfs_register(&guard, 1);
    });
}

QString resolvedPath(const QString& path) {
    installJournalGuard();
    if (!platform) return path;
    std::vector<char> out(size_t(platform->mxPathname) + 1);
    const QByteArray p = path.toLocal8Bit();
    if (platform->xFullPathname(platform, p.constData(), int(out.size()), out.data()) != SQLITE_OK)
        return path;
    return QString::fromLocal8Bit(out.data());
}

QString journalRefusal(const QString& tablePath) {
    installJournalGuard();
    if (!platform) return {};
    return QString::fromStdString(refusal(tablePath.toLocal8Bit().toStdString()));
}

QString damagedTableText(const QString& fileName, const QString& why) {
    return QStringLiteral("Table is damaged: %1 (%2). Nothing was changed; ask the administrator to move "
                          "%1-journal out of the database folder.")
        .arg(fileName, why);
}

} // namespace engine

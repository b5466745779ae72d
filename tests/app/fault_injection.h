#pragma once
// Test helper: SQLite's file and memory access with faults on demand. A VFS
// registered as the library's default wraps the real default one, and an
// allocator installed before the library initialises wraps the library's own;
// each counts its calls while armed and fails the N-th call of one kind (or
// that one and every later one) with a chosen result code. Everything else
// passes through unchanged. The library is used from one thread only, as the
// program uses it, so the counters need no lock.

#include <sqlite3.h>

#include <sys/types.h>

#include <cstring>
#include <string>

namespace fault_injection {

// The calls that can be made to fail. Lock covers taking a lock and testing
// for another's; Read covers reads and pages fetched through a memory map;
// SystemRead is the operating system's read under the real VFS, which may
// hand back fewer bytes than asked for.
enum class TCall { Open, Read, Lock, FileSize, Alloc, SystemRead };
inline constexpr int CallKinds = 6;

inline const char* CallName(TCall Call) {
    switch (Call) {
        case TCall::Open: return "open";
        case TCall::Read: return "read";
        case TCall::Lock: return "lock";
        case TCall::FileSize: return "file size";
        case TCall::Alloc: return "allocation";
        case TCall::SystemRead: return "system read";
    }
    return "?";
}

struct TState {
    sqlite3_vfs* Real = nullptr;
    sqlite3_vfs Vfs{};
    sqlite3_mem_methods RealMemory{};
    ssize_t (*RealRead)(int, void*, size_t) = nullptr;
    ssize_t (*RealPread)(int, void*, size_t, off_t) = nullptr;
    ssize_t (*RealPread64)(int, void*, size_t, off_t) = nullptr;
    bool Installed = false;

    bool Armed = false;
    TCall Target = TCall::Read;
    int Code = SQLITE_OK;
    long FailAt = 0;
    bool Persistent = false;
    long Calls[CallKinds]{};  // made while armed, by kind
    long Injected = 0;        // calls failed since armed
    // Calls that would change a file (write, truncate, sync, delete), armed
    // or not: a viewer makes none.
    long Changes = 0;
};

inline TState& State() {
    static TState state;
    return state;
}

// Counts a call of kind Call; true when it is the one to fail.
inline bool Fails(TCall Call) {
    TState& s = State();
    if (!s.Armed) return false;
    const long n = ++s.Calls[static_cast<int>(Call)];
    if (Call != s.Target || n < s.FailAt || (n > s.FailAt && !s.Persistent)) return false;
    ++s.Injected;
    return true;
}

// ---- the file wrapper: the real file's structure follows ours in the same block

struct TFile {
    sqlite3_file Base;
    sqlite3_file* Real;
};

inline sqlite3_file* RealFile(sqlite3_file* File) { return reinterpret_cast<TFile*>(File)->Real; }
inline const sqlite3_io_methods* RealMethods(sqlite3_file* File) { return RealFile(File)->pMethods; }

inline int FileClose(sqlite3_file* File) { return RealMethods(File)->xClose(RealFile(File)); }

inline int FileRead(sqlite3_file* File, void* Buffer, int Amount, sqlite3_int64 Offset) {
    if (Fails(TCall::Read)) {
        if (State().Code != SQLITE_IOERR_SHORT_READ) return State().Code;
        // The file ended half way: the library wants the rest zero-filled.
        const int half = Amount / 2;
        std::memset(Buffer, 0, static_cast<std::size_t>(Amount));
        const int result = RealMethods(File)->xRead(RealFile(File), Buffer, half, Offset);
        return result == SQLITE_OK ? SQLITE_IOERR_SHORT_READ : result;
    }
    return RealMethods(File)->xRead(RealFile(File), Buffer, Amount, Offset);
}

inline int FileWrite(sqlite3_file* File, const void* Buffer, int Amount, sqlite3_int64 Offset) {
    ++State().Changes;
    return RealMethods(File)->xWrite(RealFile(File), Buffer, Amount, Offset);
}

inline int FileTruncate(sqlite3_file* File, sqlite3_int64 Size) {
    ++State().Changes;
    return RealMethods(File)->xTruncate(RealFile(File), Size);
}

inline int FileSync(sqlite3_file* File, int Flags) {
    ++State().Changes;
    return RealMethods(File)->xSync(RealFile(File), Flags);
}

inline int FileSize(sqlite3_file* File, sqlite3_int64* Size) {
    if (Fails(TCall::FileSize)) return State().Code;
    return RealMethods(File)->xFileSize(RealFile(File), Size);
}

inline int FileLock(sqlite3_file* File, int Level) {
    if (Fails(TCall::Lock)) return State().Code;
    return RealMethods(File)->xLock(RealFile(File), Level);
}

inline int FileUnlock(sqlite3_file* File, int Level) { return RealMethods(File)->xUnlock(RealFile(File), Level); }

inline int FileCheckReservedLock(sqlite3_file* File, int* Reserved) {
    if (Fails(TCall::Lock)) return State().Code;
    return RealMethods(File)->xCheckReservedLock(RealFile(File), Reserved);
}

inline int FileControl(sqlite3_file* File, int Op, void* Arg) {
    return RealMethods(File)->xFileControl(RealFile(File), Op, Arg);
}

inline int FileSectorSize(sqlite3_file* File) { return RealMethods(File)->xSectorSize(RealFile(File)); }

inline int FileDeviceCharacteristics(sqlite3_file* File) {
    return RealMethods(File)->xDeviceCharacteristics(RealFile(File));
}

inline int FileShmMap(sqlite3_file* File, int Region, int Size, int Extend, void volatile** Map) {
    return RealMethods(File)->xShmMap(RealFile(File), Region, Size, Extend, Map);
}

inline int FileShmLock(sqlite3_file* File, int Offset, int N, int Flags) {
    return RealMethods(File)->xShmLock(RealFile(File), Offset, N, Flags);
}

inline void FileShmBarrier(sqlite3_file* File) { RealMethods(File)->xShmBarrier(RealFile(File)); }

inline int FileShmUnmap(sqlite3_file* File, int Delete) { return RealMethods(File)->xShmUnmap(RealFile(File), Delete); }

inline int FileFetch(sqlite3_file* File, sqlite3_int64 Offset, int Amount, void** Page) {
    if (Fails(TCall::Read)) {
        *Page = nullptr;
        return State().Code;
    }
    return RealMethods(File)->xFetch(RealFile(File), Offset, Amount, Page);
}

inline int FileUnfetch(sqlite3_file* File, sqlite3_int64 Offset, void* Page) {
    return RealMethods(File)->xUnfetch(RealFile(File), Offset, Page);
}

// The wrapper's methods at the real file's version: the library uses the
// shared-memory and memory-map calls only where the real file has them.
inline const sqlite3_io_methods* FileMethods(int Version) {
    static const sqlite3_io_methods methods[3] = {
        // clang-format off
        {1, FileClose, FileRead, FileWrite, FileTruncate, FileSync, FileSize, FileLock, FileUnlock,
         FileCheckReservedLock, FileControl, FileSectorSize, FileDeviceCharacteristics, nullptr, nullptr, nullptr,
         nullptr, nullptr, nullptr},
        {2, FileClose, FileRead, FileWrite, FileTruncate, FileSync, FileSize, FileLock, FileUnlock,
         FileCheckReservedLock, FileControl, FileSectorSize, FileDeviceCharacteristics, FileShmMap, FileShmLock,
         FileShmBarrier, FileShmUnmap, nullptr, nullptr},
        {3, FileClose, FileRead, FileWrite, FileTruncate, FileSync, FileSize, FileLock, FileUnlock,
         FileCheckReservedLock, FileControl, FileSectorSize, FileDeviceCharacteristics, FileShmMap, FileShmLock,
         FileShmBarrier, FileShmUnmap, FileFetch, FileUnfetch},
    };
    // clang-format on
    return &methods[Version < 1 ? 0 : Version > 3 ? 2 : Version - 1];
}

// ---- the VFS: opens and deletes are its own, the rest goes to the real one

inline int VfsOpen(sqlite3_vfs*, sqlite3_filename Name, sqlite3_file* File, int Flags, int* OutFlags) {
    auto* file = reinterpret_cast<TFile*>(File);
    file->Base.pMethods = nullptr;
    if (Fails(TCall::Open)) return State().Code;
    file->Real = reinterpret_cast<sqlite3_file*>(file + 1);
    sqlite3_vfs* real = State().Real;
    const int result = real->xOpen(real, Name, file->Real, Flags, OutFlags);
    // Where the real open left methods, the library closes the file even
    // after a failure; it does so through ours.
    if (file->Real->pMethods) file->Base.pMethods = FileMethods(file->Real->pMethods->iVersion);
    return result;
}

inline int VfsDelete(sqlite3_vfs*, const char* Name, int SyncDir) {
    ++State().Changes;
    return State().Real->xDelete(State().Real, Name, SyncDir);
}

inline int VfsAccess(sqlite3_vfs*, const char* Name, int Flags, int* Result) {
    return State().Real->xAccess(State().Real, Name, Flags, Result);
}

inline int VfsFullPathname(sqlite3_vfs*, const char* Name, int Size, char* Out) {
    return State().Real->xFullPathname(State().Real, Name, Size, Out);
}

inline void* VfsDlOpen(sqlite3_vfs*, const char* Name) { return State().Real->xDlOpen(State().Real, Name); }

inline void VfsDlError(sqlite3_vfs*, int Size, char* Out) { State().Real->xDlError(State().Real, Size, Out); }

inline void (*VfsDlSym(sqlite3_vfs*, void* Handle, const char* Symbol))(void) {
    return State().Real->xDlSym(State().Real, Handle, Symbol);
}

inline void VfsDlClose(sqlite3_vfs*, void* Handle) { State().Real->xDlClose(State().Real, Handle); }

inline int VfsRandomness(sqlite3_vfs*, int Size, char* Out) {
    return State().Real->xRandomness(State().Real, Size, Out);
}

inline int VfsSleep(sqlite3_vfs*, int Microseconds) { return State().Real->xSleep(State().Real, Microseconds); }

inline int VfsCurrentTime(sqlite3_vfs*, double* Now) { return State().Real->xCurrentTime(State().Real, Now); }

inline int VfsGetLastError(sqlite3_vfs*, int Size, char* Out) {
    return State().Real->xGetLastError(State().Real, Size, Out);
}

inline int VfsCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* Now) {
    return State().Real->xCurrentTimeInt64(State().Real, Now);
}

// ---- the real VFS's system calls: a failing read gets half of what it asked
// for, as a read may, and the VFS must ask again for the rest

inline size_t SystemReadCount(size_t Count) { return Count >= 2 && Fails(TCall::SystemRead) ? Count / 2 : Count; }

inline ssize_t SysRead(int Fd, void* Buffer, size_t Count) {
    return State().RealRead(Fd, Buffer, SystemReadCount(Count));
}

inline ssize_t SysPread(int Fd, void* Buffer, size_t Count, off_t Offset) {
    return State().RealPread(Fd, Buffer, SystemReadCount(Count), Offset);
}

inline ssize_t SysPread64(int Fd, void* Buffer, size_t Count, off_t Offset) {
    return State().RealPread64(Fd, Buffer, SystemReadCount(Count), Offset);
}

// Puts Wrapper in the place of the real VFS's system call Name and keeps
// the call it replaces in Real; false when the VFS has no such call.
template <typename F>
bool ReplaceSystemCall(const char* Name, F& Real, F Wrapper) {
    sqlite3_vfs* vfs = State().Real;
    if (vfs->iVersion < 3 || !vfs->xGetSystemCall) return false;
    Real = reinterpret_cast<F>(vfs->xGetSystemCall(vfs, Name));
    return Real && vfs->xSetSystemCall(vfs, Name, reinterpret_cast<sqlite3_syscall_ptr>(Wrapper)) == SQLITE_OK;
}

// ---- the allocator

inline void* MemMalloc(int Size) {
    if (Fails(TCall::Alloc)) return nullptr;
    return State().RealMemory.xMalloc(Size);
}

inline void* MemRealloc(void* Old, int Size) {
    if (Fails(TCall::Alloc)) return nullptr;
    return State().RealMemory.xRealloc(Old, Size);
}

inline void MemFree(void* Block) { State().RealMemory.xFree(Block); }
inline int MemSize(void* Block) { return State().RealMemory.xSize(Block); }
inline int MemRoundup(int Size) { return State().RealMemory.xRoundup(Size); }
inline int MemInit(void*) { return State().RealMemory.xInit(State().RealMemory.pAppData); }
inline void MemShutdown(void*) { State().RealMemory.xShutdown(State().RealMemory.pAppData); }

// Installs the allocator, initialises the library and registers the VFS as
// its default. Must run before anything else in the process uses SQLite
// (the allocator can only be replaced then); gives an error text, or empty.
inline std::string Install() {
    TState& s = State();
    if (s.Installed) return {};
    if (sqlite3_config(SQLITE_CONFIG_GETMALLOC, &s.RealMemory) != SQLITE_OK) return "the allocator cannot be read";
    // clang-format off
    static const sqlite3_mem_methods memory = {MemMalloc, MemFree, MemRealloc, MemSize,
                                               MemRoundup, MemInit, MemShutdown, nullptr};
    // clang-format on
    if (sqlite3_config(SQLITE_CONFIG_MALLOC, &memory) != SQLITE_OK)
        return "the allocator cannot be replaced: SQLite was initialised before";
    if (sqlite3_initialize() != SQLITE_OK) return "SQLite does not initialise";
    s.Real = sqlite3_vfs_find(nullptr);
    if (!s.Real) return "SQLite has no default VFS";
    // Whichever of them the VFS reads with.
    const bool read = ReplaceSystemCall("read", s.RealRead, SysRead);
    const bool pread = ReplaceSystemCall("pread", s.RealPread, SysPread);
    const bool pread64 = ReplaceSystemCall("pread64", s.RealPread64, SysPread64);
    if (!read && !pread && !pread64) return "the VFS's read calls cannot be replaced";
    s.Vfs = {2,
             static_cast<int>(sizeof(TFile)) + s.Real->szOsFile,
             s.Real->mxPathname,
             nullptr,
             "kalimdar-faults",
             nullptr,
             VfsOpen,
             VfsDelete,
             VfsAccess,
             VfsFullPathname,
             VfsDlOpen,
             VfsDlError,
             VfsDlSym,
             VfsDlClose,
             VfsRandomness,
             VfsSleep,
             VfsCurrentTime,
             VfsGetLastError,
             VfsCurrentTimeInt64,
             nullptr,
             nullptr,
             nullptr};
    if (sqlite3_vfs_register(&s.Vfs, 1) != SQLITE_OK) return "the VFS cannot be registered";
    s.Installed = true;
    return {};
}

// From now on, counts calls and fails the FailAt-th call of kind Call with
// Code (and, if Persistent, every later one of that kind).
inline void Arm(TCall Call, int Code, long FailAt, bool Persistent = false) {
    TState& s = State();
    s.Target = Call;
    s.Code = Code;
    s.FailAt = FailAt;
    s.Persistent = Persistent;
    for (long& n : s.Calls) n = 0;
    s.Injected = 0;
    s.Armed = true;
}

inline void Disarm() { State().Armed = false; }

// Calls of a kind made while armed, and how many of them failed.
inline long Calls(TCall Call) { return State().Calls[static_cast<int>(Call)]; }
inline long Injected() { return State().Injected; }
inline long Changes() { return State().Changes; }

}  // namespace fault_injection

#pragma once
// The process-wide lock "VRD4Mutex" that serialises every single read and
// write of every channel variable between processes. On Linux it is an
// exclusive flock() on /dev/shm/<prefix>VRD4Mutex (mode 0600, O_CLOEXEC),
// held through one open file description per process; the kernel drops it
// when its holder dies, so no lock is ever abandoned.
//
// Because the lock belongs to the process's one description, it does not
// nest inside a process: a second MutexWarten while holding it succeeds at
// once and the first MutexFreigeben releases it. The channel never nests.
// A child made by fork() without exec shares the description and with it the
// lock; exec drops it (close-on-exec).
#include <cstdint>
#include <string>

namespace vrd4::channel::modVRD4Mutex {

// Opens or creates the lock file unless this process already has it open.
// Returns a status text: "VRD4Mutex existiert bereits!" when already open,
// otherwise the error code, CR LF, its text, CR LF and "VRD4Mutex existiert!"
// or "VRD4Mutex neu angelegt!"; on failure "Mutex mit Name: " CR LF
// "VRD4Mutex" CR LF " konnte nicht initialisiert werden.".
std::u16string MutexAnlegen();

// Tries LOCK_EX|LOCK_NB at least once a millisecond until it has the lock or
// timeoutMs have passed (-1: no limit; below -1: one try). false at once if
// the lock file is not open.
bool MutexWarten(int32_t timeoutMs);

// Releases the lock; false if not open or not held.
bool MutexFreigeben();

// Closes the lock file (which also releases the lock).
void MutexSchliessen();

// The system's message for an errno value, or "Unbekannter Fehler: &H" + hex.
std::u16string SystemFehlertext(int errorCode);

// "/dev/shm/" + channel name prefix + "VRD4Mutex": the file whose flock is the
// lock.
std::string lockFilePath();

}  // namespace vrd4::channel::modVRD4Mutex

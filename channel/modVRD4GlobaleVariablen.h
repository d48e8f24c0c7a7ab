#pragma once
// The set of channel variables that a sending program and the receiver share:
// the command ring of 100 slots "VRD4Sendetexte0" … "VRD4Sendetexte99", its
// two counters, the reply, event, window-handle and stop variables.
//
// Creating the set (SpeichervariablenAnlegen) resets the ring and the start
// values; the contents live while at least one process holds the set and are
// gone when the last holder has ended, even if it was killed.
//
// Lifetime on Linux: every holder keeps a shared flock on its own description
// of the object "VRD4Sendetexte0". A creator that gets the exclusive lock
// first is alone and zero-fills every object of the set before it goes down
// to the shared lock. If the lock cannot be had within a few seconds the
// creator goes on without clearing and without counting as a holder.
//
// Every accessor returns a usable object at any time: before
// SpeichervariablenAnlegen or after SpeichervariablenFreigeben it is an
// unmapped variable that reads as the empty text and ignores writes.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "channel/ClsVRD4Memory.h"

namespace vrd4::channel::modVRD4GlobaleVariablen {

inline constexpr int kAnzahlSendetexte = 100;

// Creates and initialises the whole set, once per process (later calls return
// at once until SpeichervariablenFreigeben).
void SpeichervariablenAnlegen();
// Releases the whole set, once per process.
void SpeichervariablenFreigeben();
bool angelegt();

ClsVRD4Memory& Sendetexte(int index);  // 0..99; out of range: unmapped dummy
ClsVRD4Memory& clsVRD4EmpfaengerGestartet();
ClsVRD4Memory& clsVRD4Event();
ClsVRD4Memory& clsVRD4Comport();
ClsVRD4Memory& clsVRD4Aktiv();
ClsVRD4Memory& clsVRD4AktivXVers();
ClsVRD4Memory& clsVRD4BlinktextNr();
ClsVRD4Memory& clsVRD4LauftextNr();
ClsVRD4Memory& clsVRD4AniGifNr();
ClsVRD4Memory& clsVRD4LaufvariableNr();
ClsVRD4Memory& clsVRD4KomFehler();
ClsVRD4Memory& clsVRD4SoftwareVersion();
ClsVRD4Memory& clsVRD4WriteSpeicher();
ClsVRD4Memory& clsVRD4ReadSpeicher();
ClsVRD4MemorySpeich& clsVRD4MemorySpeicher();
ClsVRD4Memory& clsVRD4ProgrammBeenden();
ClsVRD4Memory& clsVRD4AufrufFensterhandle();
ClsVRD4Memory& clsVRD4LetzteGesendete();
ClsVRD4Memory& clsVRD4LetzteGelesene();
ClsVRD4Memory& clsVRD4EventFensterHandle();
// The variable after the ring named `name` (e.g. "clsVRD4BlinktextNr", as the
// command table names a reply variable); an unmapped dummy for any other name.
ClsVRD4Memory& variable(std::string_view name);

// The set's names in creation order: the 100 slots, then the others. The one
// variable of the larger class is kSpeicherName.
const std::vector<std::string>& variableNames();
inline constexpr const char* kSpeicherName = "clsVRD4MemorySpeicher";

// Whether some process holds the set, told by one short exclusive attempt on
// the lifetime lock (creators tolerate it); it never makes the caller a
// holder. false when the object does not exist, nullopt when it cannot be
// told. A holder asking about itself gets true.
std::optional<bool> setIsHeld();

// The first object of the set, or the lock file, under the current name
// prefix that is there but cannot be opened for reading and writing - left
// by another user before such files were shared with the group vrd4 - as its
// path under /dev/shm; empty when every one can be opened or is missing.
// SpeichervariablenAnlegen reports such a file once (gesperrtMeldung) and
// then creates no set.
std::string gesperrtesObjekt();
// Removes the files gesperrtesObjekt finds, where we may (their owner or
// root; /dev/shm is sticky). For a receiver, and only while no receiver runs
// on the channel. True when none is left that cannot be opened.
bool gesperrteObjekteErsetzen();
// The one message for such a file: which file, and how to free the channel.
std::u16string gesperrtMeldung(const std::string& pfad);

// Removes every object of the set and the lock file under the current name
// prefix (for tests and tools cleaning up after themselves). Mappings that
// are open stay valid but are no longer found by name.
void removeChannelObjects();

}  // namespace vrd4::channel::modVRD4GlobaleVariablen

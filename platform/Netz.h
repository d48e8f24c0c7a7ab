#pragma once
// The TCP socket options the net layer needs beyond Qt. fd is a connected
// stream socket's descriptor; a negative or closed one gives false.
namespace vrd4::platform {

// Makes the next close of fd an abortive one: the connection is reset
// (SO_LINGER on with time 0), so what this side has not yet delivered is
// dropped instead of being sent after the close, and the peer's system
// marks the connection as reset at once. Data the peer's system already
// received stays readable there (Linux drops none of it on a reset); the
// peer tells the reset apart with verbindungZurueckgesetzt. False when the
// option could not be set (the close then is an orderly one).
bool zuruecksetzenBeimSchliessen(int fd);

// True when the peer has reset the connection of fd (or it failed
// otherwise), also while received data still waits to be read. Never
// blocks; changes nothing on the socket.
bool verbindungZurueckgesetzt(int fd);

}  // namespace vrd4::platform

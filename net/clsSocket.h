#pragma once
// clsSocket: the receiver's event-driven TCP (or UDP) socket. It runs on the
// event loop of the thread that created it (the GUI thread): no threads of
// its own, no blocking call except the name helpers marked so. With a
// non-empty LineSeparator the byte stream becomes lines: every complete line
// is one LineDataArrival, and SendData of a text appends the separator.
//
// Wire texts are Windows-1252 (platform/Ansi.h). Reception reads in chunks
// of at most kLeseblock bytes until the socket is drained, at most
// kLesepuffer bytes per turn of the event loop; a chunk's text is cut before
// its first NUL.
//
// Events are synchronous callbacks (std::function, may be empty; they must
// not throw). A handler may call any method of the instance that raised it
// (SendData, Disconnect, Connect, setReadingPaused) and may even destroy
// it; the raising code then touches nothing of the instance any more. A
// handler that runs the event loop (a message box, a wait) holds up the
// further lines of its own connection until it returns; other sockets go
// on.
//
// Bounds (every buffer filled by the peer is limited):
//  - A line (text before the separator, or the rest that has no separator
//    yet) longer than MaxLineLength (default kMaxZeilenlaenge) characters
//    closes the connection: LineTooLong(length) is raised, then Closed (the
//    rest is not delivered), then the socket is closed. kMaxZeilenlaenge
//    holds the largest forwarded picture command: a 32 MiB picture file
//    hex-encoded (64 MiB) plus 64 KiB for the other fields. Memory per
//    connection is then at most about kMaxZeilenlaenge (line buffer, one
//    byte per character) plus kLesepuffer (read ahead from the system),
//    plus, while one line is being delivered, its text (two bytes per
//    character).
//  - setReadingPaused(true) holds back reception: no further DataArrival or
//    LineDataArrival, lines already framed stay buffered, at most
//    kLesepuffer bytes are read ahead from the system, and the peer is then
//    held up by TCP flow control. setReadingPaused(false) goes on with the
//    buffered lines from the event loop (never from inside the call). A
//    peer that closes meanwhile still gets its lines delivered, then Closed.
//    Disconnect ends the pause.
//  - Sending never blocks: SendData hands the system what it takes at once
//    and queues the rest for the event loop. While more than kMaxUngesendet
//    bytes wait (a peer that does not read its replies) reception is held as
//    by setReadingPaused until they drain, so a peer cannot grow our send
//    queue by sending commands.
//  - With LineBufferFull set, the buffered bytes may reach LineBufferGrant
//    only with the owner's leave: before reading more (or delivering more)
//    while that many are buffered, LineBufferFull is asked; false holds
//    reception as by setReadingPaused(true) (so at most LineBufferGrant +
//    kLeseblock bytes are buffered), true lets it go on (the owner raised
//    LineBufferGrant first). This is how several connections share one
//    memory budget.
//  - A listening socket keeps at most kMaxWartende accepted-but-not-yet-
//    taken connections; while that many wait it stops accepting (the system
//    backlog of kListenBacklog then holds further peers, so a burst of
//    connects is neither refused nor left waiting for a retransmitted SYN).
//    When accepting fails (no file descriptor left) it tries again 100 ms
//    later.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace vrd4::net {

class clsSocket {
 public:
  // State
  static constexpr int32_t sckClosed = 1;
  static constexpr int32_t sckListening = 2;
  static constexpr int32_t sckConnecting = 3;
  static constexpr int32_t sckConnected = 4;

  static constexpr std::size_t kMaxZeilenlaenge = (std::size_t{64} << 20) + (std::size_t{64} << 10);
  static constexpr int kLeseblock = 2000;
  static constexpr std::int64_t kLesepuffer = 64 << 10;
  static constexpr std::int64_t kMaxUngesendet = std::int64_t{8} << 20;
  static constexpr int kMaxWartende = 64;
  static constexpr int kListenBacklog = 1024;  // the system may cap it (somaxconn)
  static constexpr int kSendeblock = 5000;  // SendFile

  clsSocket();
  // Disconnect (no event), then the instance is gone; safe inside its own
  // event handlers.
  ~clsSocket();
  clsSocket(const clsSocket&) = delete;
  clsSocket& operator=(const clsSocket&) = delete;

  // --- properties set from outside
  // Port to listen on (before Listen) or to bind a client to (0 = any);
  // after Listen and after a connect the port actually bound; 0 after
  // Disconnect. Only the low 16 bits count.
  int32_t LocalPort = 0;
  // Dotted address and port of the peer: set on accept, on connect and for
  // each UDP datagram.
  QString RemoteHost;
  int32_t RemotePort = 0;
  // Line terminator; empty = no line framing (DataArrival instead).
  std::u16string LineSeparator = u"\r\n";
  // Connect time-out in ms (also covers the TLS handshake); 0 or negative
  // = none.
  int16_t TimeOut = 5000;
  // 0 TCP, 1 UDP (Listen only; Connect sets it to 0).
  int32_t Protocol = 0;
  // The longest line accepted (see Bounds); an owner that expects only
  // short replies may set less.
  std::size_t MaxLineLength = kMaxZeilenlaenge;
  // Bytes the line buffer may hold before LineBufferFull is asked (see
  // Bounds); without that handler it has no effect.
  std::size_t LineBufferGrant = static_cast<std::size_t>(-1);
  // TLS (Qt's QSslSocket). Client: SSLCAFile (PEM) adds trusted
  // authorities. Accepting side: certificate and key files (PEM) of the
  // listening socket, copied by Accept.
  bool SSLEnable = false;
  QString SSLServerCertificate;
  QString SSLServerKey;
  QString SSLCAFile;

  // --- properties the socket maintains
  int32_t State() const;  // sckClosed .. sckConnected
  // >= 1 while a socket is open (an identifier unique in the process, not
  // the system's descriptor); 0 = no socket.
  int32_t SocketHandle() const;
  // Equal to SocketHandle for a TLS connection, else 0.
  int32_t SSLHandle() const;
  // Filled when a TLS client connection is established: cipher name and
  // the peer certificate's subject and issuer as "/C=../O=../CN=..".
  const QString& SSLCipher() const;
  const QString& SSLSubject() const;
  const QString& SSLIssuer() const;
  // True when the peer certificate chains to a trusted authority (the
  // host name is not checked). The connection is made either way.
  bool SSLTrusted() const;
  QString LocalIP() const;  // MyIP()

  // --- events
  // An outgoing connection is established (State is 4 by then).
  std::function<void()> Connected;
  // The peer closed the connection, after any buffered rest was delivered
  // as a last line; the socket is closed afterwards.
  std::function<void()> Closed;
  // Everything sent so far has been handed to the system.
  std::function<void()> SendComplete;
  // Data arrived and LineSeparator is empty (one chunk, or one datagram).
  std::function<void(const QByteArray& BinData, const QString& RemoteHostIP)> DataArrival;
  // One complete line (without its separator).
  std::function<void(const std::u16string& LineData, const QString& RemoteHostIP)> LineDataArrival;
  // A connect failed (Description from the Winsock table, "???" for an
  // unknown error) or timed out ("Timeout"); Number is always 0. The
  // socket is closed afterwards.
  std::function<void(int32_t Number, const QString& Description)> Error;
  // A listening socket has a connection waiting; take it with Accept.
  std::function<void()> ConnectionRequest;
  // Instead of LineDataArrival when set: one complete line as its
  // Windows-1252 bytes (without the separator). A long line is moved out of
  // the buffer, not copied.
  std::function<void(std::string&& LineBytes, const QString& RemoteHostIP)> LineBytesArrival;
  // The line buffer holds `buffered` >= LineBufferGrant bytes (see Bounds).
  // It must not close or destroy the socket.
  std::function<bool(std::size_t buffered)> LineBufferFull;
  // A line exceeded MaxLineLength (length = characters buffered when it
  // was noticed; they are dropped). Closed follows unless the handler
  // closed the socket itself, then the socket is closed.
  std::function<void(std::size_t length)> LineTooLong;

  // --- methods
  // Starts an outgoing TCP connection and returns at once: later State 4
  // plus Connected, or Error plus State 1. Failing before the start (port
  // 65535, no such host, no socket, bind refused) leaves State 1 with no
  // event; a host name that is not a dotted address is looked up
  // asynchronously, so its failure comes later, also without an event.
  // With SSLEnable a failed connect or handshake closes without an event.
  void Connect(const QString& host, int32_t Port);
  // Opens a listening socket on LocalPort (all IPv4 addresses): TCP, or a
  // UDP socket receiving datagrams when Protocol is 1. Failure (e.g. the
  // port is in use): State 1, no event.
  void Listen();
  // Takes the oldest waiting connection of the listening Server into this
  // instance (State 4; RemoteHost/RemotePort from the peer). SSLEnable and
  // the server certificate/key are copied from Server. Nothing waiting, or
  // the certificate does not load: State 1, no event. An accepted TLS
  // connection whose handshake fails raises Closed.
  void Accept(clsSocket& Server);
  // Nothing while there is no socket (and nothing on UDP: use SendDataTo).
  // A text goes as text + LineSeparator in Windows-1252; a single byte as
  // one byte; bytes as they are. Failures are silent.
  void SendData(std::u16string_view text);
  void SendData(const QString& text);
  void SendData(std::uint8_t byte);
  void SendData(std::span<const std::uint8_t> bytes);
  // Closes everything (socket, waiting connections, timer, buffered rest)
  // and sets State 1 and LocalPort 0. Never raises an event.
  void Disconnect();
  // Closes like Disconnect, but resets the connection: what waits to be
  // sent is dropped, here and in the system, instead of reaching the peer
  // after the close; the peer sees ResetByPeer at once, even before it has
  // read the data it received earlier. For a peer that counts as lost.
  void Abort();
  // True when the peer has reset the connection (Abort), also while data
  // it sent before is still unread, and still inside Closed when the reset
  // was seen before the end of the data; false again after Disconnect.
  // Never blocks.
  bool ResetByPeer() const;

  // Sends one UDP datagram from a socket of its own. host: dotted address
  // or name (a name is looked up blocking). Returns false when it failed.
  static bool SendDataTo(const QString& host, int32_t port, std::span<const std::uint8_t> bytes);
  // Sends a file's content through SendData in blocks of kSendeblock bytes.
  // Returns false when the file cannot be read.
  bool SendFile(const QString& path);

  // Pauses/resumes reception (see Bounds above).
  void setReadingPaused(bool paused);
  bool readingPaused() const;
  // Bytes queued by SendData and not yet handed to the system.
  std::int64_t BytesToWrite() const;
  // Received bytes in the line buffer, not yet delivered as lines.
  std::size_t BufferedBytes() const;
  // The first n of them (fewer when fewer are buffered): the head of the
  // line coming in, e.g. to tell inside LineBufferFull what it is. Valid
  // until the socket reads or delivers again.
  std::string_view BufferedHead(std::size_t n) const;

  // --- name helpers (static: they need no connection)
  // IPv4 address number `adapter` (0 = first) of a host name as dotted
  // text; "" when there is none. Blocks while the name is looked up.
  static QString GetIP(const QString& hostname, int32_t adapter = 0);
  // Host name of a dotted address; "" when unknown. Blocks.
  static QString GetDNS(const QString& ip);
  static QString MyName();
  // The last non-private IPv4 address of this host, or its last private one
  // when there is none ("" without any).
  static QString MyIP();
  // True for 10.x.x.x, 172.16-31.x.x, 192.168.x.x and 127.0.x.x.
  static bool IsPrivateIP(const QString& ip);

  struct Impl;

 private:
  std::shared_ptr<Impl> d_;
};

}  // namespace vrd4::net

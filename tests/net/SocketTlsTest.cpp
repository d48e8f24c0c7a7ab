// clsSocket with SSLEnable on 127.0.0.1, with a certificate made for the
// test by the openssl command.
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "NetTestUmgebung.h"

namespace vrd4::net::test {
namespace {

constexpr int sckConnected = clsSocket::sckConnected;

class SocketTls : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
      GTEST_SKIP() << "openssl is not installed";
    ASSERT_TRUE(dir_.isValid());
    zert_ = dir_.filePath(QStringLiteral("zert.pem"));
    schluessel_ = dir_.filePath(QStringLiteral("schluessel.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-days", "2", "-subj", "/O=VRD4 Test/CN=vrd4-test", "-keyout",
                   schluessel_, "-out", zert_});
    ASSERT_TRUE(openssl.waitForFinished(30000));
    ASSERT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().toStdString();

    server_.SSLEnable = true;
    server_.SSLServerCertificate = zert_;
    server_.SSLServerKey = schluessel_;
    server_.Listen();
    ASSERT_EQ(server_.State(), clsSocket::sckListening);
    server_.ConnectionRequest = [this] {
      angenommen_.push_back(std::make_unique<clsSocket>());
      auto& a = *angenommen_.back();
      a.LineDataArrival = [this, &a](const std::u16string& z, const QString&) {
        serverZeilen_.push_back(z);
        a.SendData(u"OK");
      };
      a.Accept(server_);
    };
  }

  QTemporaryDir dir_;
  QString zert_, schluessel_;
  clsSocket server_;
  std::vector<std::unique_ptr<clsSocket>> angenommen_;
  std::vector<std::u16string> serverZeilen_;
};

TEST_F(SocketTls, LinesTravelEncryptedAndTheCertificateIsReported) {
  for (const bool mitCa : {true, false}) {  // trusted through the CA file, untrusted without it
    SCOPED_TRACE(mitCa);
    serverZeilen_.clear();
    clsSocket c;
    Protokoll p;
    p.an(c);
    c.SSLEnable = true;
    if (mitCa) c.SSLCAFile = zert_;
    c.Connect(QStringLiteral("127.0.0.1"), server_.LocalPort);
    ASSERT_TRUE(warteBis([&] { return c.State() != clsSocket::sckConnecting; }));
    ASSERT_EQ(c.State(), sckConnected);
    EXPECT_EQ(c.SSLTrusted(), mitCa);
    EXPECT_EQ(c.SSLSubject(), QStringLiteral("/O=VRD4 Test/CN=vrd4-test"));
    EXPECT_EQ(c.SSLHandle(), c.SocketHandle());

    c.SendData(u"Grüße");
    ASSERT_TRUE(warteBis([&] { return p.zeilen.size() == 1; }));
    EXPECT_EQ(serverZeilen_, std::vector<std::u16string>{u"Grüße"});
  }
}

}  // namespace
}  // namespace vrd4::net::test

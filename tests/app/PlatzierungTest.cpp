// Full screen and its keys, window synchronisation with the player, and the
// snapshot file, on the offscreen platform.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QTest>

#include "AppTestUmgebung.h"
#include "app/FrmVRD4Empfaenger.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/Surface.h"
#include "platform/SurfaceWidget.h"

namespace vrd4::app::test {
namespace {

using ::testing::ElementsAre;
using namespace Qt::StringLiterals;

class PlatzierungTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Umgebung u;
    u.clock = &uhr;
    u.desktop = &desktop;
    u.programFolder = ordner.pfad();
    u.sleeper = [](int32_t) {};
    frm = std::make_unique<FrmVRD4Empfaenger>(u);
    frm->Form_Load();
  }
  void TearDown() override { frm.reset(); }

  // A red box in the board's top-left corner, drawn by a command.
  void roteEckeZeichnen() {
    frm->VRD4Empfaenger()->Rechteck(1, 1, 50, 50, 1, 0x0000FF, true);
    ASSERT_EQ(board().image().pixelColor(10, 10), QColor(255, 0, 0));
  }
  platform::Surface& board() { return frm->picVRD4Empfang(); }
  QLineEdit* faktorBox() { return frm->findChild<QLineEdit*>(u"txtFontGroessenfaktor"_s); }
  std::vector<QGroupBox*> rahmen() {
    std::vector<QGroupBox*> r;
    for (const char* n : {"CtlFraFuerServerdaten", "CtlFraFuerClientdaten", "CtlFraWeiterleitenAn", "CtlFraDiverses"})
      r.push_back(frm->findChild<QGroupBox*>(QString::fromLatin1(n)));
    return r;
  }

  TempOrdner ordner;
  HandUhr uhr;
  FakeDesktop desktop;
  std::unique_ptr<FrmVRD4Empfaenger> frm;
};

TEST_F(PlatzierungTest, EscapeOutsideFullScreenDoesNothing) {
  roteEckeZeichnen();
  QTest::keyClick(frm.get(), Qt::Key_Escape);
  EXPECT_FALSE(frm->vollbild());
  EXPECT_EQ(board().image().pixelColor(10, 10), QColor(255, 0, 0)) << "the board is not cleared";
  QTest::keyClick(faktorBox(), Qt::Key_5);
  EXPECT_EQ(faktorBox()->text(), u"0,755"_s) << "keys reach the controls";
}

TEST_F(PlatzierungTest, FullScreenClearsTheBoardAndSpansTheScreenWithTheOldScale) {
  frm->show();
  roteEckeZeichnen();
  frm->cmdBitmapVollbild_Click();
  ASSERT_TRUE(frm->vollbild());
  const QSize schirm = QGuiApplication::primaryScreen()->geometry().size();
  EXPECT_EQ(board().widthPx(), schirm.width());
  EXPECT_EQ(board().heightPx(), schirm.height());
  EXPECT_DOUBLE_EQ(board().scaleWidth(), 768);
  EXPECT_DOUBLE_EQ(board().scaleHeight(), 480);
  EXPECT_EQ(board().image().pixelColor(10, 10), QColor(0, 0, 0)) << "entering full screen clears";
  EXPECT_EQ(frm->picVRD4EmpfangWidget()->geometry(), QRect(QPoint(0, 0), schirm));
  EXPECT_EQ(frm->cursor().shape(), Qt::BlankCursor);
  for (QGroupBox* r : rahmen()) EXPECT_TRUE(r->isHidden()) << r->objectName().toStdString();

  // A box over the whole board in units fills the whole screen.
  frm->VRD4Empfaenger()->Rechteck(1, 1, 768, 480, 1, 0x00FF00, true);
  EXPECT_EQ(board().image().pixelColor(schirm.width() - 2, schirm.height() - 2), QColor(0, 255, 0));
}

TEST_F(PlatzierungTest, LettersAreSwallowedInFullScreenAndEscapeEndsIt) {
  frm->show();
  const QPoint vorher = frm->picVRD4EmpfangWidget()->pos();
  frm->cmdBitmapVollbild_Click();
  QTest::keyClick(faktorBox(), Qt::Key_A);
  QTest::keyClick(frm.get(), Qt::Key_B);
  EXPECT_EQ(faktorBox()->text(), u"0,75"_s);
  EXPECT_TRUE(frm->vollbild());

  roteEckeZeichnen();
  QTest::keyClick(faktorBox(), Qt::Key_Escape);
  EXPECT_FALSE(frm->vollbild());
  EXPECT_EQ(board().widthPx(), 768);
  EXPECT_EQ(board().heightPx(), 480);
  EXPECT_DOUBLE_EQ(board().scaleWidth(), 768);
  EXPECT_EQ(frm->picVRD4EmpfangWidget()->pos(), vorher);
  EXPECT_EQ(board().image().pixelColor(10, 10), QColor(0, 0, 0)) << "leaving full screen clears again";
  for (QGroupBox* r : rahmen()) EXPECT_FALSE(r->isHidden());
  EXPECT_NE(frm->cursor().shape(), Qt::BlankCursor);
}

TEST_F(PlatzierungTest, SyncWithoutPlayerOnlySaysSo) {
  MeldungsRecorder meldungen;
  const QString titel = frm->windowTitle();
  frm->cmdFensterSyncronisieren_Click();
  EXPECT_THAT(meldungen.texte, ElementsAre(u"Pelmor Player läuft nicht!"));
  EXPECT_EQ(frm->windowTitle(), titel);
  EXPECT_TRUE(desktop.umgehaengt.empty());
}

TEST_F(PlatzierungTest, SyncMovesTheSurfaceIntoTheDisplayWindowAndNamesTheScale) {
  MeldungsRecorder meldungen;
  desktop.player = true;
  desktop.anzeige = x11::FoundWindow{77, {0, 0, 1024, 768}};
  frm->cmdFensterSyncronisieren_Click();
  EXPECT_TRUE(meldungen.texte.empty());
  ASSERT_EQ(desktop.umgehaengt.size(), 1u);
  EXPECT_EQ(desktop.umgehaengt[0].second, 77u);
  EXPECT_EQ(frm->windowTitle(), u"VRD4-LCD - Anzeigeempfänger - Breite: 768x Höhe: 480"_s);
}

TEST_F(PlatzierungTest, SyncWithoutDisplayWindowStillChangesTheCaption) {
  desktop.player = true;
  frm->cmdFensterSyncronisieren_Click();
  ASSERT_EQ(desktop.umgehaengt.size(), 1u);
  EXPECT_EQ(desktop.umgehaengt[0].second, 0u) << "no window found before: none to enter";
  EXPECT_EQ(frm->windowTitle(), u"VRD4-LCD - Anzeigeempfänger - Breite: 768x Höhe: 480"_s);
}

uint32_t le32(const QByteArray& b, int at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
         uint32_t(uint8_t(b[at + 3])) << 24;
}

TEST_F(PlatzierungTest, SnapshotWritesThe24BitBmpOfTheSurfaceIntoTheProgramFolder) {
  frm->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
  roteEckeZeichnen();
  const QString datei = QString::fromStdString(ordner.pfad()) + u"/Picture.bmp"_s;
  for (int mal = 0; mal < 2; ++mal) {  // replaced on every click
    frm->cmdBoxSpeichern_Click();
    QFile f(datei);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray kopf = f.read(54);
    ASSERT_EQ(kopf.size(), 54);
    EXPECT_EQ(kopf.left(2), QByteArray("BM"));
    EXPECT_EQ(le32(kopf, 18), 768u);
    EXPECT_EQ(le32(kopf, 22), 480u);
    EXPECT_EQ(uint8_t(kopf[28]) | uint8_t(kopf[29]) << 8, 24) << "bits per pixel";
    EXPECT_EQ(le32(kopf, 30), 0u) << "uncompressed";
  }
  const QImage bild(datei);
  ASSERT_FALSE(bild.isNull());
  EXPECT_EQ(bild.pixelColor(10, 10), QColor(255, 0, 0));
  EXPECT_EQ(bild.pixelColor(400, 300), QColor(0, 0, 0));
}

TEST_F(PlatzierungTest, SnapshotIntoAnUnwritableFolderIsReportedInTheList) {
  Umgebung u;
  u.desktop = &desktop;
  u.programFolder = ordner.pfad() + "/gibt/es/nicht";
  FrmVRD4Empfaenger anderes(u);
  anderes.cmdBoxSpeichern_Click();
  auto* liste = anderes.findChild<QListWidget*>(u"List1"_s);
  ASSERT_EQ(liste->count(), 1);
  EXPECT_TRUE(liste->item(0)->text().contains(u"Picture.bmp nicht gespeichert"_s));
}

}  // namespace
}  // namespace vrd4::app::test

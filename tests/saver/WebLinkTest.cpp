// The web-link prompt: its texts and layout, Cancel focused at opening, what opens the address.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "platform/Platform.h"
#include "player/ScreenSaverSequences.h"
#include "saver/formWebLink.h"
#include "tests/support/TestEnv.h"

namespace {

std::unique_ptr<TScreenSaverSequence> Linked(const std::string& Address, const std::string& Title) {
  auto S = std::make_unique<TScreenSaverSequence>();
  S->WebLinkAddress = Address;
  S->WebLinkTitle = Title;
  return S;
}

// Runs ShowWebLink and acts on the prompt once it is up; returns ShowWebLink's result.
bool Answer(const std::unique_ptr<TScreenSaverSequence>& S, const std::function<void(TfrmWebLink&)>& Act,
            bool* Seen = nullptr) {
  QTimer Poll;
  Poll.setInterval(10);
  QObject::connect(&Poll, &QTimer::timeout, [&] {
    auto* W = dynamic_cast<TfrmWebLink*>(QApplication::activeModalWidget());
    if (!W || !W->isVisible()) return;
    Poll.stop();
    if (Seen) *Seen = true;
    Act(*W);
  });
  Poll.start();
  QTimer::singleShot(testsupport::PatientMs, [] {
    if (QWidget* M = QApplication::activeModalWidget()) M->close();
  });
  return ShowWebLink(*S);
}

class WebLink : public ::testing::Test {
protected:
  void SetUp() override {
    plat::SetShellHook([this](const plat::ShellCall& C) { Calls.push_back(C); });
  }
  std::vector<plat::ShellCall> Calls;
};

}  // namespace

TEST_F(WebLink, LayoutAndTexts) {
  auto F = CreateForm<TfrmWebLink>();
  EXPECT_EQ(F->windowTitle(), "Verweis auf Web-Seite");
  EXPECT_EQ(F->size(), QSize(465, 291));
  EXPECT_EQ(F->cmdOk->text(), "Ok");
  EXPECT_EQ(F->cmdCancel->text(), "Abbrechen");
  EXPECT_FALSE(F->cmdOk->isDefault());
  EXPECT_EQ(F->pnlButtons->geometry(), QRect(0, 250, 465, 41));
  EXPECT_EQ(F->Memo1->geometry(), QRect(8, 120, 449, 121));
  EXPECT_TRUE(F->Memo1->isReadOnly());
  EXPECT_EQ(F->Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  const QStringList Lines = F->Memo1->toPlainText().split('\n');
  ASSERT_EQ(Lines.size(), 6);
  EXPECT_EQ(Lines[0], "Der Hersteller diese Bildschirmschoners stellt Ihnen einen Verweis auf eine Web-Seite im ");
  EXPECT_EQ(Lines[1], QString::fromUtf8("Internet zu Verfügung."));
  EXPECT_EQ(Lines[2], "");
  EXPECT_EQ(Lines[3], QString::fromUtf8("Klicken Sie auf Ok und die Web-Seite wird in Ihrem Standard-Browser geöffnet."));
  EXPECT_EQ(Lines[4], "");
  EXPECT_EQ(Lines[5], QString::fromUtf8("Klicken Sie auf Abbrechen, wenn Sie nicht auf die Seite verzweigen möchten."));
  EXPECT_EQ(F->Label1->text(), "Wichtiger Hinweis");
  EXPECT_EQ(F->Label1->pos(), QPoint(8, 104));
  EXPECT_EQ(F->lblWebTitle->text(), "Titel");
  EXPECT_EQ(F->lblWebAddress->text(), "WWW-Adresse");
  EXPECT_EQ(F->txtWebTitle->geometry().topLeft(), QPoint(8, 24));
  EXPECT_EQ(F->txtWebAddress->geometry().topLeft(), QPoint(8, 72));
  EXPECT_EQ(F->txtWebTitle->width(), 449);
  EXPECT_TRUE(F->txtWebTitle->isReadOnly());
  EXPECT_TRUE(F->txtWebAddress->isReadOnly());
  EXPECT_LT(F->lblWebTitle->geometry().bottom(), F->txtWebTitle->geometry().top()) << "label above";
}

TEST_F(WebLink, OkOpensTheAddressThroughTheShell) {
  QString Title, Address;
  bool CancelFocused = false;
  const bool R = Answer(Linked("https://example.org/ä", "Über uns"), [&](TfrmWebLink& W) {
    Title = W.txtWebTitle->text();
    Address = W.txtWebAddress->text();
    CancelFocused = W.focusWidget() == W.cmdCancel;
    QTest::mouseClick(W.cmdOk, Qt::LeftButton);
  });
  EXPECT_TRUE(R);
  EXPECT_EQ(Title, QString::fromUtf8("Über uns"));
  EXPECT_EQ(Address, QString::fromUtf8("https://example.org/ä"));
  EXPECT_TRUE(CancelFocused);
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_EQ(Calls[0].Verb, "open");
  EXPECT_EQ(Calls[0].File, "https://example.org/ä");
  EXPECT_EQ(Calls[0].Parameters, "");
}

TEST_F(WebLink, EnterEscapeAndCancelRightAwayDecline) {
  const std::vector<std::function<void(TfrmWebLink&)>> Ways = {
      [](TfrmWebLink& W) { QTest::keyClick(&W, Qt::Key_Return); },
      [](TfrmWebLink& W) { QTest::keyClick(W.focusWidget(), Qt::Key_Enter); },
      [](TfrmWebLink& W) { QTest::keyClick(&W, Qt::Key_Escape); },
      [](TfrmWebLink& W) { QTest::mouseClick(W.cmdCancel, Qt::LeftButton); },
      [](TfrmWebLink& W) { W.close(); },
  };
  for (size_t I = 0; I < Ways.size(); ++I) {
    bool Seen = false;
    EXPECT_FALSE(Answer(Linked("https://example.org", "T"), Ways[I], &Seen)) << "way " << I;
    EXPECT_TRUE(Seen);
  }
  EXPECT_TRUE(Calls.empty());
}

TEST_F(WebLink, EnterOnTheFocusedOkButtonOpens) {
  const bool R = Answer(Linked("https://example.org/ok", "T"), [](TfrmWebLink& W) {
    W.cmdOk->setFocus();
    QTest::keyClick(W.cmdOk, Qt::Key_Return);
  });
  EXPECT_TRUE(R);
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_EQ(Calls[0].File, "https://example.org/ok");
}

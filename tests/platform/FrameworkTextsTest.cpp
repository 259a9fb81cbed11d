#include <gtest/gtest.h>

#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

#include "platform/Forms.h"

// The standard buttons come from the framework in the user's language, as the system's own
// buttons would; a language without a catalogue keeps the framework's English.
TEST(FrameworkTexts, StandardButtonsSpeakTheUsersLanguage) {
  const struct {
    const char* Locale;
    const char* Yes;
    const char* No;
  } Cases[] = {{"de_DE", "&Ja", "&Nein"}, {"en_US", "&Yes", "&No"}, {"de_AT", "&Ja", "&Nein"}, {"C", "&Yes", "&No"}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Locale);
    LoadFrameworkTranslations(QLocale(QString::fromLatin1(C.Locale)));
    QMessageBox Box;
    Box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(Box.button(QMessageBox::Yes)->text().toStdString(), C.Yes);
    EXPECT_EQ(Box.button(QMessageBox::No)->text().toStdString(), C.No);
  }
}

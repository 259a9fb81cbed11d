#include "saver/frameAboutVoviziridSaver.h"

QString VoviziridAboutText(const std::string& Version) {
  const QString V = Version.empty() ? QStringLiteral("-") : QString::fromStdString(Version);
  return QString::fromUtf8(
             "Vovizirid Bildschirmschoner\n"
             "===========================\n"
             "\n"
             "Version        %1\n"
             "Hersteller     Zerozezu\n"
             "Web            %2\n"
             "Partner        %3\n"
             "\n"
             "Über dieses Programm\n"
             "--------------------\n"
             "Dieser Bildschirmschoner wurde mit dem Bildschirmschoner-\n"
             "Generator Vovizirid erstellt. Bilder, Texte, Logos, Filme,\n"
             "Musik und Klänge der Vorführung sind in der Programmdatei\n"
             "selbst enthalten; es werden keine weiteren Dateien benötigt.\n"
             "\n"
             "Einstellungen\n"
             "-------------\n"
             "Auf der ersten Seite dieses Dialogs legen Sie fest, ob die\n"
             "Vorführung immer in der Desktop-Auflösung läuft und ob sie auf\n"
             "den ganzen Bildschirm hochgerechnet wird. Die Einstellungen\n"
             "gelten für Ihr Benutzerkonto und werden beim Schliessen des\n"
             "Dialogs gespeichert.\n"
             "\n"
             "Bedienung\n"
             "---------\n"
             "Eine Mausbewegung, ein Mausklick oder ein Tastendruck beendet\n"
             "die Vorführung. Trägt die gerade gezeigte Sequenz einen Verweis\n"
             "auf eine Web-Seite, werden Sie anschliessend gefragt, ob die\n"
             "Seite geöffnet werden soll.\n"
             "\n"
             "Klicken Sie auf das Logo, um das Wasser zu bewegen.\n"
             "\n"
             "Rechtliches\n"
             "-----------\n"
             "Copyright (C) Zerozezu. Alle Rechte vorbehalten.\n"
             "Die Rechte an den Inhalten der Vorführung liegen beim\n"
             "Hersteller des Bildschirmschoners; es gilt dessen\n"
             "Lizenzvereinbarung.\n")
      .arg(V, QString::fromLatin1(MakerSiteHost), QString::fromLatin1(PartnerSiteHost));
}

TfraAboutVoviziridSaver::TfraAboutVoviziridSaver(QWidget* Owner) : TfraAbout(Owner) {
  setObjectName(QStringLiteral("fraAboutVoviziridSaver"));
  txtInfo->setPlainText(VoviziridAboutText(Version()));
}

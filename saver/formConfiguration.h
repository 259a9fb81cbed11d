#pragma once
// The configuration dialog: what the screen saver says about itself and its maker, read-only,
// the two options of this user, and the about page. Every way out stores the options.

#include <QPushButton>
#include <QTabWidget>

#include <memory>

#include "platform/Forms.h"
#include "saver/GUITools.h"

class TScreenSaverInfo;
class TfraScreenSaverInfo;
class TfraScreenSaverUserProperties;
class TfraPersonalInfo;
class TfraAboutVoviziridSaver;

class TfrmConfiguration : public TForm {
public:
  explicit TfrmConfiguration(QWidget* Parent = nullptr);
  ~TfrmConfiguration() override;

  QTabWidget* pgConfiguration;
  QWidget* TabSheet1;
  TfraScreenSaverInfo* fraScreenSaverInfo;
  TfraScreenSaverUserProperties* fraScreenSaverUserProperties;
  QWidget* TabSheet2;
  TfraPersonalInfo* fraPersonalInfo;
  QWidget* tshAboutVovizirid;
  TfraAboutVoviziridSaver* fraAboutVoviziridSaver;
  TPanel* pnlButtons;
  QPushButton* cmdOk;

  // The info read at creation; nullptr when it could not be read.
  TScreenSaverInfo* Info() const { return FInfo.get(); }

  void FormCreate() override;
  void FormDestroy() override;
  void pgConfigurationChange();
  void cmdOkClick();

protected:
  void resizeEvent(QResizeEvent* Event) override;

private:
  std::unique_ptr<TScreenSaverInfo> FInfo;
};

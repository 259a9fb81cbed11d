#pragma once
// The about frame: program name and version, the product logo under water that ripples where
// the pointer goes and shakes on a click, an information text and two web links.

#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>

#include <memory>
#include <string>

#include "saver/GUITools.h"
#include "saver/HotLink.h"

class TDIBRaster;
class TWaterize;

class TfraAbout : public TFrame {
public:
  explicit TfraAbout(QWidget* Owner = nullptr);
  ~TfraAbout() override;

  // The top panel reads Name + " - Version " + the program file's FileVersion.
  void SetProgramName(const std::string& Name);
  // The water runs only while animated.
  void SetAnimated(bool Flag);

  QTimer* tmrAnim;
  TPanel* pnlProgramAndVersion;
  TPanel* Panel1;
  THotLink* JvHotLink1;
  THotLink* JvHotLink2;
  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QWidget* TabSheet2;
  TPanel* pnlLogo;
  TImage* imgLogo;
  TPaintBox* pbLogo;
  QPlainTextEdit* txtInfo;

  // Event handlers.
  void tmrAnimTimer();
  void pbLogoClick();
  void pbLogoMouseMove(int X, int Y);
  void pnlLogoResize();

  // Read access for the frame's owner and tests.
  TDIBRaster* Logo() const { return FLogo.get(); }
  TDIBRaster* Output() const { return FOutput.get(); }
  TWaterize* Water() const { return FWaterize.get(); }
  const std::string& ProgramName() const { return FProgramName; }
  const std::string& Version() const { return FVersion; }

private:
  void PlaceLinks();

  std::unique_ptr<TDIBRaster> FLogo;
  std::unique_ptr<TDIBRaster> FOutput;
  std::unique_ptr<TWaterize> FWaterize;
  std::string FProgramName;
  std::string FVersion;
};

// The product logo, 400 x 267.
QImage VoviziridLogo();

// Web sites of the two links.
inline constexpr const char* MakerSiteHost = "www.zerozezu.example";
inline constexpr const char* MakerSiteAddress = "https://www.zerozezu.example/";
inline constexpr const char* PartnerSiteHost = "www.vovizirid.example";
inline constexpr const char* PartnerSiteAddress = "https://www.vovizirid.example/";

#pragma once
// The about frame with the product's own text, the last page of the configuration dialog.

#include "saver/frameAbout.h"

class TfraAboutVoviziridSaver : public TfraAbout {
public:
  explicit TfraAboutVoviziridSaver(QWidget* Owner = nullptr);
};

// The information text of the product.
QString VoviziridAboutText(const std::string& Version);

#include "tools/DemoInstaller.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

#include "persistence/ApplicationData.h"
#include "persistence/PropertyBags.h"

namespace demosaver {

namespace fs = std::filesystem;

void MakeInstallerFromSaver(const std::string& InstallerHost, const std::string& SaverFile,
                            const std::string& Out) {
  const std::string Part = Out + ".part";
  try {
    // The info is the carried saver's own first record, so both always agree.
    TScreenSaverInfo Info;
    {
      TApplicationDataStream Saver(SaverFile, adaRead);
      Info.LoadFromStream(Saver);
    }
    fs::copy_file(InstallerHost, Part, fs::copy_options::overwrite_existing);
    TApplicationDataStream S(Part, adaReadWrite);
    S.SetSize(int64_t{0});
    TStreamPropertyBag Bag(S);
    Bag.WriteObject(&Info);
    TFileStream Saver(SaverFile, fmOpenRead | fmShareDenyWrite);
    std::vector<char> Buffer(65536);
    while (true) {
      const int32_t N = Saver.Read(Buffer.data(), static_cast<int32_t>(Buffer.size()));
      if (N <= 0) break;
      S.WriteBuffer(Buffer.data(), N);
    }
    if (::chmod(Part.c_str(), 0755) != 0) throw EOSError("chmod " + Part + " : " + std::strerror(errno), errno);
    fs::rename(Part, Out);
  } catch (...) {
    std::error_code Ec;
    fs::remove(Part, Ec);
    throw;
  }
}

void MakeInstallerFile(const std::string& InstallerHost, const std::string& SaverHost,
                       const std::string& Out, const TDemoOptions& Options) {
  const std::string Saver = Out + ".saver";
  try {
    MakeScreenSaverFile(SaverHost, Saver, Options);
    MakeInstallerFromSaver(InstallerHost, Saver, Out);
  } catch (...) {
    std::error_code Ec;
    fs::remove(Saver, Ec);
    throw;
  }
  std::error_code Ec;
  fs::remove(Saver, Ec);
}

}  // namespace demosaver

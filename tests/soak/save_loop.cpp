// Saves one kind of file in a loop, alternating two contents, until killed, so
// tests/soak/crash-saves.sh can kill it at random moments and check that the file
// on disk is always one of the two complete versions.
//   save_loop ref  KIND PATH_A PATH_B   write the two versions once (references)
//   save_loop loop KIND PATH            alternate them into PATH forever
// KIND: hex (Intel HEX of read-back flash), rcg (oscillogram), kvt (project with
// backups), kvtp (parameter-file text through the atomic writer the parameter
// file writer uses).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "firmware/IntelHexWriter.h"
#include "platform/AtomicFile.h"
#include "scope/OscillData.h"
#include "workspace/ProjectDocument.h"

namespace {

bool SaveHex(const std::string& path, int version, std::string& error) {
  // 64 KiB of flash, so a save takes long enough to be hit mid-way.
  std::vector<zeb7::TPacket> blocks(1024);
  for (size_t i = 0; i < blocks.size(); ++i) {
    blocks[i].iAddr = int32_t(i * 64);
    blocks[i].Initialized = true;
    for (size_t b = 0; b < 64; ++b) blocks[i].baData[b] = uint8_t(i * 7 + b + version * 101);
  }
  bool ok = zeb7::WriteIntelHexFile(path, blocks, [&](const std::string& m) { error = m; });
  return ok;
}

bool SaveRcg(const std::string& path, int version, std::string& error) {
  zeb7::TOscillData d;
  for (int c = 0; c < zeb7::kOscChannels; ++c)
    for (int p = 0; p < zeb7::kOscPoints; ++p) d.iaRecorderData[c][p] = int16_t(version * 1000 + c * 10 + p);
  d.asName[0] = version ? "Drehzahl B" : "Drehzahl A";
  return zeb7::SaveOscillogram(path, d, error);
}

bool SaveKvt(const std::string& path, int version, std::string& error) {
  zeb7::TProjectDocument doc;
  for (int s = 0; s < 10; ++s) {
    zeb7::TProjectItem sheet;
    sheet.Class = zeb7::dcSheet;
    sheet.Name = "Sheet" + std::to_string(s);
    sheet.Parent = "PageControl1";
    sheet.Caption = (version ? "B page " : "A page ") + std::to_string(s);
    sheet.PageIndex = s;
    doc.Items.push_back(sheet);
    for (int i = 0; i < 20; ++i) {
      zeb7::TProjectItem disp;
      disp.Class = zeb7::dcNumeric;
      disp.Name = "Disp" + std::to_string(s * 20 + i);
      disp.Parent = sheet.Name;
      disp.Index = s * 20 + i;
      disp.Target = 0;
      disp.FwName = "P" + std::to_string(s * 20 + i);
      disp.Top = 30 * i + version;
      doc.Items.push_back(disp);
    }
  }
  doc.Normalize();
  return zeb7::SaveProjectFile(path, doc, error);
}

bool SaveKvtp(const std::string& path, int version, std::string& error) {
  std::string text = "[Parameters]\r\n";
  for (int i = 0; i < 2000; ++i)
    text += "0 Group" + std::to_string(i % 17) + " P" + std::to_string(i) + " " +
            std::to_string(i * 3 + version) + "\r\n";
  text += "[End]\r\n";
  return zeb7::WriteFileAtomically(path, text, error);
}

bool Save(const std::string& kind, const std::string& path, int version, std::string& error) {
  if (kind == "hex") return SaveHex(path, version, error);
  if (kind == "rcg") return SaveRcg(path, version, error);
  if (kind == "kvt") return SaveKvt(path, version, error);
  if (kind == "kvtp") return SaveKvtp(path, version, error);
  error = "unknown kind " + kind;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  if (argc == 5 && std::strcmp(argv[1], "ref") == 0) {
    if (!Save(argv[2], argv[3], 0, error) || !Save(argv[2], argv[4], 1, error)) {
      std::fprintf(stderr, "save_loop: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "loop") == 0) {
    // The caller put version 0 in place: the first save replaces it by version 1.
    for (unsigned long n = 1;; ++n)
      if (!Save(argv[2], argv[3], int(n % 2), error)) {
        std::fprintf(stderr, "save_loop: %s\n", error.c_str());
        return 1;
      }
  }
  std::fprintf(stderr, "usage: save_loop ref KIND A B | save_loop loop KIND PATH\n");
  return 2;
}

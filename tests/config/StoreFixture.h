// A settings store on a temporary data folder and application profile, a
// stand-in object kind for the kinds not built yet, and a writer of archive
// bytes in the old settings layout.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "config/PersistentData.h"
#include "platform/IniFile.h"
#include "platform/UserInterface.h"

namespace corvina::test {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// An object of any kind with a name, a type and one line of data, stored in
// section "Object".
class FakeObject final : public CCorvinaNamedObject {
 public:
  FakeObject(ObjectKind kind, std::string objectName, std::string objectData = {}, unsigned type = 0)
      : kind_(kind), type_(type), data(std::move(objectData)) {
    name = std::move(objectName);
  }
  ObjectKind Kind() const override { return kind_; }
  unsigned TypeCode() const override { return type_; }
  bool Save(const std::string& folder, const std::string& file, std::string* error) override {
    if (failSaving) {
      if (error) *error = "refused";
      return false;
    }
    platform::IniFile ini(JoinPath(folder, file));
    ini.SetString("Object", "Name", name);
    ini.SetString("Object", "Data", data);
    if (!ini.Save(error)) return false;
    fileName = file;
    modified = false;
    return true;
  }

 private:
  ObjectKind kind_;
  unsigned type_;

 public:
  std::string data;
  bool failSaving = false;
};

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "store-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    data_ = root_ + "/data/";
    std::filesystem::create_directories(data_);
    appProfile_.SetPath(root_ + "/Corvina.ini");
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  // A new store on the folder; the application profile is read from disk.
  CCorvinaPersistentData& NewStore() {
    appProfile_.Load();
    store_ = std::make_unique<CCorvinaPersistentData>(data_, appProfile_, ui_);
    return *store_;
  }

  // Registers a stand-in kind whose files hold section "Object".
  void RegisterFake(CCorvinaPersistentData& store, ObjectKind kind, std::vector<std::string> defaults = {}) {
    CCorvinaPersistentData::KindHandler h;
    std::string folder = data_;
    h.load = [kind, folder](const std::string& file) -> std::shared_ptr<CCorvinaNamedObject> {
      platform::IniFile ini(JoinPath(folder, file));
      if (!ini.Load() || ini.GetString("Object", "Name").empty()) return nullptr;
      return std::make_shared<FakeObject>(kind, ini.GetString("Object", "Name"), ini.GetString("Object", "Data"));
    };
    if (!defaults.empty()) {
      h.defaults = [kind, defaults] {
        std::vector<std::shared_ptr<CCorvinaNamedObject>> objects;
        for (const auto& n : defaults) objects.push_back(std::make_shared<FakeObject>(kind, n, "built-in"));
        return objects;
      };
    }
    store.RegisterKind(kind, std::move(h));
  }

  std::string AppProfileText() const { return ReadFile(root_ + "/Corvina.ini"); }
  bool HasBox(const std::string& part) const {
    for (const auto& b : ui_.boxes)
      if (b.text.find(part) != std::string::npos) return true;
    return false;
  }

  std::string root_, data_;
  platform::IniFile appProfile_;
  platform::RecordingUserInterface ui_;
  std::unique_ptr<CCorvinaPersistentData> store_;
};

// Archive bytes in the old layout: little-endian numbers, length-prefixed
// texts, class tags.
class ArchiveBytes {
 public:
  ArchiveBytes& U8(std::uint8_t v) {
    bytes_.push_back(static_cast<char>(v));
    return *this;
  }
  ArchiveBytes& U16(std::uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
  ArchiveBytes& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  ArchiveBytes& Double(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return U32(static_cast<std::uint32_t>(bits)).U32(static_cast<std::uint32_t>(bits >> 32));
  }
  ArchiveBytes& Text(const std::string& s) {
    if (s.size() < 0xFF) U8(static_cast<std::uint8_t>(s.size()));
    else U8(0xFF).U16(static_cast<std::uint16_t>(s.size()));
    return Raw(s);
  }
  ArchiveBytes& Raw(const std::string& s) {
    bytes_ += s;
    return *this;
  }
  ArchiveBytes& NewClass(const std::string& name, std::uint16_t schema = 1) {
    return U16(0xFFFF).U16(schema).U16(static_cast<std::uint16_t>(name.size())).Raw(name);
  }
  ArchiveBytes& ClassRef(std::uint16_t index) { return U16(static_cast<std::uint16_t>(0x8000 | index)); }
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace corvina::test

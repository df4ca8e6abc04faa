#include "plugin/settings.h"

#include <variant>

#include "plugin/host_api.h"
#include "scale/target.h"

ScaleSettingsGroup ScaleSettings;
FrameSettingsGroup FrameSettings;
MaskSettingsGroup MaskSettings;
int32_t TileMirror = 0;

namespace {

static_assert(sizeof(LONG) == 4 && sizeof(DWORD) == 4 && sizeof(WORD) == 2,
              "the store's values are 32 and 16 bits wide in both builds");

// Opens the section of the host's store for the length of one load or save.
class Profile {
 public:
  explicit Profile(const char* section) {
    char storeA[64] = {};
    char storeB[64] = {};
    ZQ_GetProfileFile(0, storeA, storeB);
    handle_ = ProfileOpen(storeA, storeB, section);
  }
  ~Profile() { ProfileClose(handle_); }
  Profile(const Profile&) = delete;
  Profile& operator=(const Profile&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

// How a setting travels besides its type's usual way: 16-bit and 32-bit signed values are read
// as words and longs and written as longs (16-bit values zero-extended), 32-bit unsigned ones as
// dwords both ways.
enum SettingFlags : unsigned {
  kReadAsBool = 1,        // read with ProfileReadBool
  kWrittenAsWord = 2,     // written with ProfileWriteWord
  kNotSavedInPercent = 4  // not written while ScaleUnits is Percentage (a substitute base then)
};

struct Setting {
  const char* key;
  std::variant<uint16_t*, int32_t*, uint32_t*> value;
  unsigned flags = 0;
};

// Each group's keys in store order; loading and saving both walk the same rows.
const Setting kScaleGroup[] = {
    {"KeepAspect", &ScaleSettings.KeepAspect, kReadAsBool},
    {"ScaleMeasure", &ScaleSettings.ScaleMeasure},
    {"ScaleUnits", &ScaleSettings.ScaleUnits},
    {"ScaleQuality", &ScaleSettings.ScaleQuality},
    {"CustomResX", &ScaleSettings.CustomResX},
    {"CustomResY", &ScaleSettings.CustomResY},
    {"CustomWidth", &ScaleSettings.CustomWidth, kNotSavedInPercent},
    {"CustomHeight", &ScaleSettings.CustomHeight, kNotSavedInPercent},
    {"PercentWidth", &ScaleSettings.PercentWidth, kWrittenAsWord},
    {"PercentHeight", &ScaleSettings.PercentHeight, kWrittenAsWord},
};
const Setting kFrameGroup[] = {
    {"Style", &FrameSettings.style},
    {"ChooseColor", &FrameSettings.colorChoice},
    {"Alignment", &FrameSettings.alignment},
};
const Setting kMaskGroup[] = {
    {"Selected", &MaskSettings.selected},
    {"Invert", &MaskSettings.invert, kReadAsBool},
    {"AlphaMask", &MaskSettings.alphaMask, kReadAsBool},
    {"AlphaColor", &MaskSettings.alphaColor, kReadAsBool},
};
const Setting kTileGroup[] = {
    {"Mirror", &TileMirror, kReadAsBool},
};

template <size_t N>
void Load(const char* section, const Setting (&group)[N]) {
  Profile p(section);
  for (const Setting& s : group) {
    if (auto* word = std::get_if<uint16_t*>(&s.value)) {
      ProfileReadWord(p.get(), s.key, *word);
    } else if (auto* dword = std::get_if<uint32_t*>(&s.value)) {
      DWORD v = **dword;
      ProfileReadDword(p.get(), s.key, &v);
      **dword = v;
    } else {
      int32_t* value = std::get<int32_t*>(s.value);
      LONG v = *value;
      (s.flags & kReadAsBool ? ProfileReadBool : ProfileReadLong)(p.get(), s.key, &v);
      *value = v;
    }
  }
}

template <size_t N>
void Save(const char* section, const Setting (&group)[N]) {
  Profile p(section);
  for (const Setting& s : group) {
    if (s.flags & kNotSavedInPercent && ScaleSettings.ScaleUnits == kScaleUnitsPercentage) continue;
    if (auto* word = std::get_if<uint16_t*>(&s.value)) {
      if (s.flags & kWrittenAsWord)
        ProfileWriteWord(p.get(), s.key, **word);
      else
        ProfileWriteLong(p.get(), s.key, LONG{**word});
    } else if (auto* dword = std::get_if<uint32_t*>(&s.value)) {
      ProfileWriteDword(p.get(), s.key, **dword);
    } else {
      ProfileWriteLong(p.get(), s.key, *std::get<int32_t*>(s.value));
    }
  }
}

}  // namespace

void LoadScaleSettings(const char* section) { Load(section, kScaleGroup); }
void SaveScaleSettings(const char* section) { Save(section, kScaleGroup); }
void LoadFrameSettings(const char* section) { Load(section, kFrameGroup); }
void SaveFrameSettings(const char* section) { Save(section, kFrameGroup); }
void LoadMaskSettings(const char* section) { Load(section, kMaskGroup); }
void SaveMaskSettings(const char* section) { Save(section, kMaskGroup); }
void LoadTileSettings(const char* section) { Load(section, kTileGroup); }
void SaveTileSettings(const char* section) { Save(section, kTileGroup); }

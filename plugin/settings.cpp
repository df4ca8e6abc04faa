#include "plugin/settings.h"

#include "plugin/host_api.h"

int32_t KeepAspect = 1;
uint16_t ScaleMeasure = 0;
uint16_t ScaleUnits = 1;
uint16_t ScaleQuality = 0;
uint32_t CustomResX = 96;
uint32_t CustomResY = 96;
int32_t CustomWidth = 10000;
int32_t CustomHeight = 10000;
uint16_t PercentWidth = 100;
uint16_t PercentHeight = 100;
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

  void ReadWord(const char* key, uint16_t& value) { ProfileReadWord(handle_, key, &value); }
  void ReadBool(const char* key, int32_t& value) { ReadLongSized(ProfileReadBool, key, value); }
  void ReadLong(const char* key, int32_t& value) { ReadLongSized(ProfileReadLong, key, value); }
  void ReadDword(const char* key, uint32_t& value) {
    DWORD v = value;
    ProfileReadDword(handle_, key, &v);
    value = v;
  }
  // 16-bit values written as longs are zero-extended.
  void WriteLong(const char* key, int32_t value) { ProfileWriteLong(handle_, key, value); }
  void WriteLong(const char* key, uint16_t value) { ProfileWriteLong(handle_, key, LONG{value}); }
  void WriteWord(const char* key, uint16_t value) { ProfileWriteWord(handle_, key, value); }
  void WriteDword(const char* key, uint32_t value) { ProfileWriteDword(handle_, key, value); }

 private:
  template <typename Read>
  void ReadLongSized(Read read, const char* key, int32_t& value) {
    LONG v = value;
    read(handle_, key, &v);
    value = v;
  }
  HANDLE handle_ = nullptr;
};

}  // namespace

void LoadScaleSettings(const char* section) {
  Profile p(section);
  p.ReadBool("KeepAspect", KeepAspect);
  p.ReadWord("ScaleMeasure", ScaleMeasure);
  p.ReadWord("ScaleUnits", ScaleUnits);
  p.ReadWord("ScaleQuality", ScaleQuality);
  p.ReadDword("CustomResX", CustomResX);
  p.ReadDword("CustomResY", CustomResY);
  p.ReadLong("CustomWidth", CustomWidth);
  p.ReadLong("CustomHeight", CustomHeight);
  p.ReadWord("PercentWidth", PercentWidth);
  p.ReadWord("PercentHeight", PercentHeight);
}

void SaveScaleSettings(const char* section) {
  Profile p(section);
  p.WriteLong("KeepAspect", KeepAspect);
  p.WriteLong("ScaleMeasure", ScaleMeasure);
  p.WriteLong("ScaleUnits", ScaleUnits);
  p.WriteLong("ScaleQuality", ScaleQuality);
  p.WriteDword("CustomResX", CustomResX);
  p.WriteDword("CustomResY", CustomResY);
  // In Percentage units the custom size is a substitute base that must not reach the store.
  if (ScaleUnits != 1) {
    p.WriteLong("CustomWidth", CustomWidth);
    p.WriteLong("CustomHeight", CustomHeight);
  }
  p.WriteWord("PercentWidth", PercentWidth);
  p.WriteWord("PercentHeight", PercentHeight);
}

void LoadFrameSettings(const char* section) {
  Profile p(section);
  p.ReadWord("Style", FrameSettings.style);
  p.ReadWord("ChooseColor", FrameSettings.colorChoice);
  p.ReadWord("Alignment", FrameSettings.alignment);
}

void SaveFrameSettings(const char* section) {
  Profile p(section);
  p.WriteLong("Style", FrameSettings.style);
  p.WriteLong("ChooseColor", FrameSettings.colorChoice);
  p.WriteLong("Alignment", FrameSettings.alignment);
}

void LoadMaskSettings(const char* section) {
  Profile p(section);
  p.ReadWord("Selected", MaskSettings.selected);
  p.ReadBool("Invert", MaskSettings.invert);
  p.ReadBool("AlphaMask", MaskSettings.alphaMask);
  p.ReadBool("AlphaColor", MaskSettings.alphaColor);
}

void SaveMaskSettings(const char* section) {
  Profile p(section);
  p.WriteLong("Selected", MaskSettings.selected);
  p.WriteLong("Invert", MaskSettings.invert);
  p.WriteLong("AlphaMask", MaskSettings.alphaMask);
  p.WriteLong("AlphaColor", MaskSettings.alphaColor);
}

void LoadTileSettings(const char* section) {
  Profile p(section);
  p.ReadBool("Mirror", TileMirror);
}

void SaveTileSettings(const char* section) {
  Profile p(section);
  p.WriteLong("Mirror", TileMirror);
}

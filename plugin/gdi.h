// Owning guards for GDI, so that every object created is deleted and every object selected is put
// back on every path, without clean-up code of its own. Header-only; the plug-in and the stand-in
// host both use it. Declare an owned object before the guard that selects it: guards end in
// reverse order, so the selection is undone before the object is deleted.
#pragma once

#include <windows.h>

#include <utility>

// Owns a GDI handle and deletes it with `Delete` at the end, unless it was handed over with
// release(). A null handle (a failed creation) is allowed and deletes nothing.
template <typename Handle, auto Delete>
class GdiOwned {
 public:
  GdiOwned() = default;
  explicit GdiOwned(Handle handle) : handle_(handle) {}
  ~GdiOwned() { reset(); }
  GdiOwned(GdiOwned&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  GdiOwned& operator=(GdiOwned&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  GdiOwned(const GdiOwned&) = delete;
  GdiOwned& operator=(const GdiOwned&) = delete;

  Handle get() const { return handle_; }
  operator Handle() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  Handle release() { return std::exchange(handle_, nullptr); }
  // Deletes the handle held and holds `handle` instead.
  void reset(Handle handle = nullptr) {
    if (handle_) Delete(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};

inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void DeleteMetafileHandle(HMETAFILE metafile) { DeleteMetaFile(metafile); }

using OwnedBrush = GdiOwned<HBRUSH, DeleteGdiObject>;
using OwnedBitmap = GdiOwned<HBITMAP, DeleteGdiObject>;
using OwnedFont = GdiOwned<HFONT, DeleteGdiObject>;
using OwnedPalette = GdiOwned<HPALETTE, DeleteGdiObject>;
using OwnedMetafile = GdiOwned<HMETAFILE, DeleteMetafileHandle>;

// Selects `object` into `dc` for the guard's lifetime, then selects the object it replaced. A null
// object selects nothing.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object)
      : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
  ~SelectedObject() {
    if (previous_) SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Selects `palette` into `dc` and realises it (as a foreground palette unless `background`) for the
// guard's lifetime, then selects the palette it replaced. A null palette does nothing.
class SelectedPalette {
 public:
  SelectedPalette(HDC dc, HPALETTE palette, bool background = false) : dc_(dc) {
    if (!palette) return;
    previous_ = SelectPalette(dc, palette, background);
    RealizePalette(dc);
  }
  ~SelectedPalette() {
    if (previous_) SelectPalette(dc_, previous_, FALSE);
  }
  SelectedPalette(const SelectedPalette&) = delete;
  SelectedPalette& operator=(const SelectedPalette&) = delete;

 private:
  HDC dc_;
  HPALETTE previous_ = nullptr;
};

// Saves the DC's state (mapping mode, origins and extents, colours, selections) for the guard's
// lifetime and restores it at the end, for drawing that changes the mapping of a DC it was lent.
class SavedDC {
 public:
  explicit SavedDC(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
  ~SavedDC() {
    if (saved_) RestoreDC(dc_, saved_);
  }
  SavedDC(const SavedDC&) = delete;
  SavedDC& operator=(const SavedDC&) = delete;

 private:
  HDC dc_;
  int saved_;
};

// BeginPaint and EndPaint as one scope: the DC to paint the window's invalid area with.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~PaintScope() { EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;

  HDC get() const { return dc_; }
  operator HDC() const { return dc_; }
  // The area that needs painting, in client coordinates.
  const RECT& area() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_ = {};
  HDC dc_;
};

// The DC of a window's client area (GetDC), of the whole window with its frame when `wholeWindow`
// (GetWindowDC), or of the screen for a null window; released at the end. Null when none could be
// had.
class ScreenDC {
 public:
  explicit ScreenDC(HWND window = nullptr, bool wholeWindow = false)
      : window_(window), dc_(wholeWindow ? GetWindowDC(window) : GetDC(window)) {}
  ~ScreenDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;

  HDC get() const { return dc_; }
  operator HDC() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// A memory DC compatible with `compatible` (the screen for null), deleted at the end. Null when it
// could not be created. Select a bitmap into it with SelectedObject.
class MemoryDC {
 public:
  explicit MemoryDC(HDC compatible = nullptr) : dc_(CreateCompatibleDC(compatible)) {}
  ~MemoryDC() {
    if (dc_) DeleteDC(dc_);
  }
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;

  HDC get() const { return dc_; }
  operator HDC() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HDC dc_;
};

// A memory metafile being recorded (CreateMetaFileA(nullptr)). close() ends the recording and hands
// over the metafile (null when closing failed); a recording never closed is closed and deleted at
// the end.
class MetafileRecorder {
 public:
  MetafileRecorder() : dc_(CreateMetaFileA(nullptr)) {}
  ~MetafileRecorder() {
    if (!dc_) return;
    if (HMETAFILE metafile = CloseMetaFile(dc_)) DeleteMetaFile(metafile);
  }
  MetafileRecorder(const MetafileRecorder&) = delete;
  MetafileRecorder& operator=(const MetafileRecorder&) = delete;

  HDC get() const { return dc_; }
  operator HDC() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }
  OwnedMetafile close() {
    return OwnedMetafile(dc_ ? CloseMetaFile(std::exchange(dc_, nullptr)) : nullptr);
  }

 private:
  HDC dc_;
};

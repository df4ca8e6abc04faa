// Scope guards for host blocks, so that every failure path frees and unlocks without clean-up
// code of its own.
#pragma once

#include <cstdint>
#include <utility>

#include "dib/host_port.h"

// Locks a block for the guard's lifetime.
class BlockLock {
 public:
  explicit BlockLock(HostBlock block) : block_(block), data_(block ? HP_Lock(block) : nullptr) {}
  ~BlockLock() {
    if (data_) HP_Unlock(block_);
  }
  BlockLock(const BlockLock&) = delete;
  BlockLock& operator=(const BlockLock&) = delete;

  uint8_t* get() const { return static_cast<uint8_t*>(data_); }
  explicit operator bool() const { return data_ != nullptr; }
  // Unlocks now, before the guard ends.
  void unlock() {
    if (data_) HP_Unlock(block_);
    data_ = nullptr;
  }

 private:
  HostBlock block_;
  void* data_;
};

// Owns a block and frees it unless it is handed over with release().
class OwnedBlock {
 public:
  OwnedBlock() = default;
  explicit OwnedBlock(HostBlock block) : block_(block) {}
  ~OwnedBlock() { HP_Free(block_); }
  OwnedBlock(OwnedBlock&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
  OwnedBlock& operator=(OwnedBlock&& other) noexcept {
    if (this != &other) {
      HP_Free(block_);
      block_ = std::exchange(other.block_, nullptr);
    }
    return *this;
  }
  OwnedBlock(const OwnedBlock&) = delete;
  OwnedBlock& operator=(const OwnedBlock&) = delete;

  HostBlock get() const { return block_; }
  explicit operator bool() const { return block_ != nullptr; }
  HostBlock release() { return std::exchange(block_, nullptr); }

 private:
  HostBlock block_ = nullptr;
};

#include "tools/rar/AesChain.h"

#include <cstring>

namespace zov::rar {

void AesChain::SetKeys(const AesKeys& keys, AesCounterMode& cipher) {
    std::unique_lock lock(mutex_);
    keys_ = keys;
    mac_.SetKey(keys.mac(), AesKeys::kKeyBytes);
    keysSet_ = true;
    TransformWaiting(lock, cipher);
}

void AesChain::HandIn(std::size_t index, const Block& block, AesCounterMode& cipher) {
    std::unique_lock lock(mutex_);
    while (slots_.size() <= index - sealed_) slots_.emplace_back();
    Slot& slot = SlotOf(index);
    slot.block = block;
    slot.state = State::Waiting;
    if (block.ends && index < endIndex_) endIndex_ = index;
    if (direction_ == Direction::Encrypt) PlaceOffsets();
    TransformWaiting(lock, cipher);
}

// Writing: a block starts where the block before it ends, so offsets are known up to the first block not
// yet handed in.
void AesChain::PlaceOffsets() {
    while (placed_ <= endIndex_ && placed_ - sealed_ < slots_.size()) {
        Slot& slot = SlotOf(placed_);
        if (slot.state == State::Missing) return;
        slot.block.offset = placedEnd_;
        placedEnd_ += slot.block.length;
        ++placed_;
    }
}

// Each waiting block is claimed by one thread and done outside the lock.
void AesChain::TransformWaiting(std::unique_lock<std::mutex>& lock, AesCounterMode& cipher) {
    while (keysSet_) {
        std::size_t index = SIZE_MAX;
        for (std::size_t i = 0; i < slots_.size() && sealed_ + i <= endIndex_; ++i) {
            const Slot& slot = slots_[i];
            if (slot.state == State::Waiting && slot.block.offset != kOffsetFromBlocksBefore) {
                index = sealed_ + i;
                break;
            }
        }
        if (index == SIZE_MAX) return;
        SlotOf(index).state = State::Claimed;
        const Block block = SlotOf(index).block;
        lock.unlock();
        const bool done = Transform(block, cipher);
        lock.lock();
        failed_ = failed_ || !done;
        SlotOf(index).state = State::Ready;
        changed_.notify_all();
    }
}

bool AesChain::Transform(const Block& block, AesCounterMode& cipher) const {
    if (!cipher.SetKey(keys_.cipher(), block.offset)) return false;
    char* target = block.data;
    if (direction_ == Direction::Decrypt) {
        if (block.length > 0) std::memcpy(block.plain, block.data, block.length);
        target = block.plain;
    }
    cipher.Apply(target, block.length);
    return true;
}

void AesChain::Seal() {
    std::unique_lock lock(mutex_);
    if (sealing_) return;
    sealing_ = true;
    while (!ended_ && !slots_.empty() && slots_.front().state == State::Ready) {
        const Block block = slots_.front().block;
        lock.unlock();
        mac_.Update(block.data, block.length);
        lock.lock();
        slots_.pop_front();
        ++sealed_;
        ended_ = block.ends;
        changed_.notify_all();
    }
    sealing_ = false;
}

bool AesChain::WaitReady(std::size_t index) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return index < sealed_ || SlotOf(index).state == State::Ready; });
    return !failed_;
}

bool AesChain::DoneWith(std::size_t index) const { return index < sealed_ || index > endIndex_; }

bool AesChain::Sealed(std::size_t index) {
    std::lock_guard lock(mutex_);
    return DoneWith(index);
}

void AesChain::WaitSealed(std::size_t index) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return DoneWith(index); });
}

void AesChain::Finish(unsigned char code[HmacSha1::kBytes]) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return ended_; });
    mac_.Finish(code);
}

}  // namespace zov::rar

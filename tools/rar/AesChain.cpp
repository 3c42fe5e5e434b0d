#include "tools/rar/AesChain.h"

namespace zov::rar {

std::optional<std::uint64_t> AesChain::Place(std::size_t index, std::size_t length, bool ends) {
    std::unique_lock lock(mutex_);
    turn_.wait(lock, [&] { return placeTurn_ == index; });
    std::optional<std::uint64_t> offset;
    if (!lastBlock_) {
        offset = placed_;
        placed_ += length;
        if (ends) lastBlock_ = index;
    }
    ++placeTurn_;
    turn_.notify_all();
    return offset;
}

// The hashing runs outside the lock, so that the next blocks take their places meanwhile.
void AesChain::Authenticate(std::size_t index, const char* data, std::size_t length) {
    std::unique_lock lock(mutex_);
    turn_.wait(lock, [&] { return macTurn_ == index; });
    const bool counted = !lastBlock_ || index <= *lastBlock_;
    lock.unlock();
    if (counted) mac_.Update(data, length);
    lock.lock();
    ++macTurn_;
    turn_.notify_all();
}

void AesChain::Finish(unsigned char code[HmacSha1::kBytes]) {
    std::lock_guard lock(mutex_);
    mac_.Finish(code);
}

}  // namespace zov::rar

#include "tools/rar/AesChain.h"

namespace zov::rar {

AesChain::AesChain(const AesKeys& keys, Direction direction)
    : keys_(keys), direction_(direction), mac_(keys.mac, sizeof keys.mac) {
    ok_ = direction_ == Direction::Authenticate || cipher_.SetKey(keys.cipher);
}

void AesChain::HandIn(std::size_t index, char* data, std::size_t length, bool ends) {
    std::unique_lock lock(mutex_);
    waiting_.emplace(index, Block{data, length, ends});
    if (sealing_) return;
    sealing_ = true;
    for (auto next = waiting_.find(next_); next != waiting_.end(); next = waiting_.find(next_)) {
        const Block block = next->second;
        waiting_.erase(next);
        lock.unlock();
        Seal(block);
        lock.lock();
        ++next_;
        sealed_.notify_all();
    }
    sealing_ = false;
}

void AesChain::Seal(const Block& block) {
    if (ended_) return;
    if (direction_ == Direction::Encrypt) cipher_.Apply(block.data, block.length);
    mac_.Update(block.data, block.length);
    ended_ = block.ends;
}

void AesChain::WaitSealed(std::size_t index) {
    std::unique_lock lock(mutex_);
    sealed_.wait(lock, [&] { return next_ > index; });
}

void AesChain::Finish(unsigned char code[HmacSha1::kBytes]) {
    std::lock_guard lock(mutex_);
    mac_.Finish(code);
}

}  // namespace zov::rar

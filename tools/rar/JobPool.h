#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <vector>

#include "tools/rar/AesChain.h"

namespace zov::rar {

// The jobs not in flight: spare ones, and used-up ones whose block a chain still reads for its
// authentication code (parked). A parked job counts as in flight until its chain is done with it.
template <class Job>
class JobPool {
  public:
    // A spare job as it was left, or a new one.
    std::unique_ptr<Job> Take() {
        if (spare_.empty()) return std::make_unique<Job>();
        std::unique_ptr<Job> job = std::move(spare_.back());
        spare_.pop_back();
        return job;
    }

    // Puts a used-up job away: parked while chain reads its block index, spare when chain is null.
    void PutAway(std::unique_ptr<Job> job, std::shared_ptr<AesChain> chain, std::size_t index) {
        if (chain == nullptr) {
            spare_.push_back(std::move(job));
        } else {
            parked_.push_back({std::move(job), std::move(chain), index});
        }
    }

    std::size_t parked() const { return parked_.size(); }

    // Frees a place in flight: parked jobs their chains are done with; else retire() (which retires the
    // oldest job in flight) when one is in flight; else the oldest parked job once its chain is done with it.
    // False when retire() was.
    template <class Retire>
    bool FreeOne(bool inFlight, Retire retire) {
        bool freed = false;
        while (!parked_.empty() && parked_.front().chain->Sealed(parked_.front().index)) {
            SpareFront();
            freed = true;
        }
        if (freed) return true;
        if (inFlight) return retire();
        parked_.front().chain->WaitSealed(parked_.front().index);
        SpareFront();
        return true;
    }

  private:
    struct Parked {
        std::unique_ptr<Job> job;
        std::shared_ptr<AesChain> chain;
        std::size_t index;
    };

    void SpareFront() {
        spare_.push_back(std::move(parked_.front().job));
        parked_.pop_front();
    }

    std::vector<std::unique_ptr<Job>> spare_;
    std::deque<Parked> parked_;
};

}  // namespace zov::rar

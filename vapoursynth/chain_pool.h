// The plugin's filter, linked into this library and run through the stand-in
// host: VapourSynth asks for several frames of one clip at once, and each
// thread that does takes a chain no other thread holds (a fed source answers
// for one frame at a time), made when every chain is taken.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frontend/filter_chain.h"
#include "host/script_host.h"

namespace vantrel::vs {

using frontend::FilterChain;

class ChainPool {
 public:
  // Hands a chain back to the pool when it goes.
  class Lease {
   public:
    Lease() = default;
    ~Lease() { Return(); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    FilterChain* operator->() const { return chain_; }

   private:
    friend class ChainPool;
    void Return();
    ChainPool* pool_ = nullptr;
    FilterChain* chain_ = nullptr;
  };

  // Loads the plugin into a host of its own and builds the first chain, so
  // that a failure shows while the script is evaluated. filter_args follow
  // the clip in the call of the plugin's VantrelDeinterlace.
  bool Open(const host::VideoFormat& format, std::vector<host::Value> filter_args,
            std::string* error);

  // A chain that no other thread holds; a new one when every chain is taken.
  bool Acquire(Lease* lease, std::string* error);

  host::ScriptHost& host() { return *host_; }

 private:
  bool AddChain(std::string* error);

  std::unique_ptr<host::ScriptHost> host_;
  host::VideoFormat format_;
  std::vector<host::Value> filter_args_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<FilterChain>> chains_;
  std::vector<FilterChain*> idle_;
};

}  // namespace vantrel::vs

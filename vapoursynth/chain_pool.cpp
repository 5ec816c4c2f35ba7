#include "vapoursynth/chain_pool.h"

// The plugin's entry, linked in from its own objects.
extern "C" const char* AvisynthPluginInit2(IScriptEnvironment* env);

namespace vantrel::vs {

void ChainPool::Lease::Return() {
  if (!chain_) return;
  std::lock_guard<std::mutex> lock(pool_->mutex_);
  pool_->idle_.push_back(chain_);
  chain_ = nullptr;
}

bool ChainPool::Open(const host::VideoFormat& format, std::vector<host::Value> filter_args,
                     std::string* error) {
  format_ = format;
  filter_args_ = std::move(filter_args);
  host_ = std::make_unique<host::ScriptHost>(host::FrameLayout::kContiguous);
  std::string description;
  if (!host_->LoadPlugin(AvisynthPluginInit2, "the linked-in Vantrel plugin", &description,
                         error)) {
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return AddChain(error);
}

// Called with mutex_ held; the new chain joins the idle ones.
bool ChainPool::AddChain(std::string* error) {
  auto chain = std::make_unique<FilterChain>();
  if (!frontend::NewFilterChain(*host_, format_, filter_args_, chain.get(), error)) return false;
  idle_.push_back(chain.get());
  chains_.push_back(std::move(chain));
  return true;
}

bool ChainPool::Acquire(Lease* lease, std::string* error) {
  lease->Return();
  std::lock_guard<std::mutex> lock(mutex_);
  if (idle_.empty() && !AddChain(error)) return false;
  lease->pool_ = this;
  lease->chain_ = idle_.back();
  idle_.pop_back();
  return true;
}

}  // namespace vantrel::vs

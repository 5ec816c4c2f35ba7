// The stand-in host reports every failure by throwing HostError; the tests
// turn them into messages. Plugins never see one unless they
// call a host slot that fails (NewVideoFrame on a bad format, a child clip's
// GetFrame on a frame it was never given).
#ifndef VANTREL_HOST_HOST_ERROR_H
#define VANTREL_HOST_HOST_ERROR_H

#include <stdexcept>
#include <string>

namespace vantrel::host {

class HostError : public std::runtime_error {
 public:
  explicit HostError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace vantrel::host

#endif  // VANTREL_HOST_HOST_ERROR_H

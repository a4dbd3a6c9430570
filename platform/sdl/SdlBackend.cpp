#include "platform/user/WindowManager.h"
namespace platform::user {
std::unique_ptr<Backend> MakeSdlBackend() {
    return nullptr;
}
} // namespace platform::user

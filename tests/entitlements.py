"""The entitlements every signature of Brimlane claims, with a team or
without, ad hoc or with a Developer ID: what the runner's entitlement files
(tools/adopt-runner) and the release signature (macos/signing.cmake) hold
before any group is added."""

BASE_ENTITLEMENTS = {
    "com.apple.security.app-sandbox": False,
    "com.apple.security.cs.allow-jit": True,
    "com.apple.security.cs.disable-library-validation": True,
    "com.apple.security.network.client": True,
    "com.apple.security.network.server": True,
}

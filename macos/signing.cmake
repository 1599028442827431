# How Brimlane.app is signed for another Mac, after Xcode has built it: the
# entitlements it carries and the flags given to codesign, decided from the
# identity, the team and the provisioning profile. tools/release runs it with
# what it was given (--identity, --team, --profile); Xcode signs development
# builds itself, from the runner's entitlements files. Runs as a script (or is
# included), so that the decision can be checked on any machine:
#
#   cmake -DIDENTITY=- [-DTEAM_ID=…] [-DPROFILE=…] -DOUTPUT_DIR=dir -P macos/signing.cmake
#
# writes dir/Brimlane.entitlements and dir/codesign-flags.txt (one flag a line).
#
# The three ways to sign:
# - a real identity with a provisioning profile: every entitlement, and the
#   application identifier and team identifier that profile-backed signing
#   needs (Xcode adds them on its own);
# - a real identity without a profile: the same without keychain-access-groups.
#   That entitlement is restricted: macOS kills at launch a bundle that claims
#   it without an embedded profile allowing it;
# - ad hoc (identity "-"), for local work: as without a profile. The team is
#   optional here; without one there is no application group either.
# A real identity also gets a secure timestamp, which notarisation requires;
# an ad hoc signature cannot carry one.

set(BRIMLANE_BUNDLE_IDENTIFIER "com.brimlane.app")

function(_brimlane_plist_entry out key value)
  set(${out} "${${out}}\t<key>${key}</key>\n\t${value}\n" PARENT_SCOPE)
endfunction()

function(_brimlane_plist_array_of_one out key string)
  set(${out}
      "${${out}}\t<key>${key}</key>\n\t<array>\n\t\t<string>${string}</string>\n\t</array>\n"
      PARENT_SCOPE)
endfunction()

# brimlane_signing(IDENTITY id [TEAM_ID team] [PROFILE path]
#                  ENTITLEMENTS_FILE path CODESIGN_FLAGS_VAR var)
# Writes the entitlements and sets var to the codesign flags that every
# signature of the bundle takes (the bundle's own adds --entitlements).
function(brimlane_signing)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "IDENTITY;TEAM_ID;PROFILE;ENTITLEMENTS_FILE;CODESIGN_FLAGS_VAR" "")
  if(NOT arg_IDENTITY)
    message(FATAL_ERROR "brimlane_signing needs an identity")
  endif()
  set(ad_hoc FALSE)
  if(arg_IDENTITY STREQUAL "-")
    set(ad_hoc TRUE)
  endif()

  if(ad_hoc AND arg_PROFILE)
    message(FATAL_ERROR "A provisioning profile (tools/release --profile) needs a real signing "
                        "identity: a profile allows what a team's signature carries, and an ad hoc "
                        "signature has no team")
  endif()
  if(NOT ad_hoc AND NOT arg_TEAM_ID)
    message(FATAL_ERROR "A team (tools/release --team, unless the identity's name ends in it) is "
                        "needed to sign with an identity: it prefixes the keychain access group and "
                        "the application group")
  endif()
  if(arg_TEAM_ID AND NOT arg_TEAM_ID MATCHES "^[A-Z0-9]+$")
    message(FATAL_ERROR "The team \"${arg_TEAM_ID}\" is not a team identifier "
                        "(upper-case letters and digits, such as ABCDE12345)")
  endif()

  set(group "${arg_TEAM_ID}.${BRIMLANE_BUNDLE_IDENTIFIER}")
  set(entries "")
  if(arg_PROFILE)
    _brimlane_plist_entry(entries "com.apple.application-identifier" "<string>${group}</string>")
    _brimlane_plist_entry(entries "com.apple.developer.team-identifier"
                          "<string>${arg_TEAM_ID}</string>")
  endif()
  _brimlane_plist_entry(entries "com.apple.security.app-sandbox" "<false/>")
  if(arg_TEAM_ID)
    _brimlane_plist_array_of_one(entries "com.apple.security.application-groups" "${group}")
  endif()
  _brimlane_plist_entry(entries "com.apple.security.cs.allow-jit" "<true/>")
  _brimlane_plist_entry(entries "com.apple.security.cs.disable-library-validation" "<true/>")
  _brimlane_plist_entry(entries "com.apple.security.network.client" "<true/>")
  _brimlane_plist_entry(entries "com.apple.security.network.server" "<true/>")
  if(arg_PROFILE)
    _brimlane_plist_array_of_one(entries "keychain-access-groups" "${group}")
  else()
    set(lost "the UI loses its keychain group")
    set(no_team "")
    if(arg_TEAM_ID)
      string(APPEND lost " ${group}")
    else()
      set(no_team " Without a team the application group is left out too.")
    endif()
    message(WARNING "Signing without a provisioning profile: keychain-access-groups is left out, "
                    "since macOS kills at launch a bundle that claims this restricted entitlement "
                    "without a profile allowing it. So ${lost}: the items its secure-storage "
                    "plug-in keeps in that group cannot be read or written by this build."
                    "${no_team} Give tools/release a provisioning profile that allows it "
                    "(--profile), with a real identity, to keep it.")
  endif()

  file(WRITE "${arg_ENTITLEMENTS_FILE}"
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
       "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
       "<plist version=\"1.0\">\n<dict>\n${entries}</dict>\n</plist>\n")

  # The hardened runtime always; a secure timestamp for every real signature.
  set(flags --force --sign "${arg_IDENTITY}" --options runtime)
  if(ad_hoc)
    list(APPEND flags --timestamp=none)
  else()
    list(APPEND flags --timestamp)
  endif()
  set(${arg_CODESIGN_FLAGS_VAR} "${flags}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT DEFINED IDENTITY OR NOT DEFINED OUTPUT_DIR)
    message(FATAL_ERROR "usage: cmake -DIDENTITY=… [-DTEAM_ID=…] [-DPROFILE=…] -DOUTPUT_DIR=… "
                        "-P signing.cmake")
  endif()
  brimlane_signing(IDENTITY "${IDENTITY}" TEAM_ID "${TEAM_ID}" PROFILE "${PROFILE}"
                   ENTITLEMENTS_FILE "${OUTPUT_DIR}/Brimlane.entitlements"
                   CODESIGN_FLAGS_VAR flags)
  string(REPLACE ";" "\n" lines "${flags}")
  file(WRITE "${OUTPUT_DIR}/codesign-flags.txt" "${lines}\n")
endif()

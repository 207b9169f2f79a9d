# Deployment data: the two update servers and the two manifest keys compiled into the
# installer. This file is the one place that sets them. A deployment overrides the four
# cache variables on the cmake command line (-DTOLBEX_UPDATE_SERVER_1=... and so on);
# nothing in the code changes.
#
# The defaults are the demo deployment on loopback. Its private keys live in demo/keys
# and are public, so a build that still carries them says so.

set(TOLBEX_DEMO_SERVER_1 "https://localhost:39705")
set(TOLBEX_DEMO_SERVER_2 "http://localhost:39706")
set(TOLBEX_DEMO_KEY_1 "4543533120000000d5dad8424410c2086f92f1921ba99fa5329394478a00862773e63e90f74c00183d81c9a2494886551d96135935df0c6da7f3f7abe884f33960bf2a181456d2d6")
set(TOLBEX_DEMO_KEY_2 "4543533120000000c53eb08e7ac6146ad45e6e54d5fb9bc4e63540baaa5870826672702fc54b6d067206ebdd6c30bec7ec8fb13bc4dbea408b87ade79aa1cfbd47cee08670ffe9cc")

set(TOLBEX_UPDATE_SERVER_1 "${TOLBEX_DEMO_SERVER_1}" CACHE STRING "First update server: https base URL, no trailing /")
set(TOLBEX_UPDATE_SERVER_2 "${TOLBEX_DEMO_SERVER_2}" CACHE STRING "Second update server: http(s) base URL, no trailing /")
set(TOLBEX_MANIFEST_KEY_1 "${TOLBEX_DEMO_KEY_1}" CACHE STRING "First manifest key: 144 hex digits of an ECS1 P-256 public blob")
set(TOLBEX_MANIFEST_KEY_2 "${TOLBEX_DEMO_KEY_2}" CACHE STRING "Second manifest key: 144 hex digits of an ECS1 P-256 public blob")

function(tolbex_check_server name)
    set(url "${${name}}")
    if(NOT url MATCHES "^https?://")
        message(FATAL_ERROR "${name} is not an http or https URL: '${url}'")
    endif()
    if(url MATCHES "/$")
        message(FATAL_ERROR "${name} must not end in '/': '${url}' (the installer appends /update/...)")
    endif()
    if(NOT url MATCHES "^https?://[^/?#]+")
        message(FATAL_ERROR "${name} has no host name: '${url}'")
    endif()
    if(url MATCHES "[ \t\"\\]")
        message(FATAL_ERROR "${name} holds a space, quote or backslash: '${url}'")
    endif()
endfunction()

function(tolbex_check_key name)
    set(key "${${name}}")
    string(LENGTH "${key}" len)
    if(NOT len EQUAL 144)
        message(FATAL_ERROR "${name} must be 144 hex digits of an ECS1 P-256 public blob, but it has ${len} characters")
    endif()
    if(NOT key MATCHES "^[0-9a-fA-F]+$")
        message(FATAL_ERROR "${name} holds a character that is not a hex digit")
    endif()
    string(TOLOWER "${key}" key)
    string(SUBSTRING "${key}" 0 8 magic)
    string(SUBSTRING "${key}" 8 8 keylen)
    if(NOT magic STREQUAL "45435331")
        message(FATAL_ERROR "${name} does not start with the ECS1 magic (45435331): it is not an ECDSA P-256 public blob")
    endif()
    if(NOT keylen STREQUAL "20000000")
        message(FATAL_ERROR "${name} has key length ${keylen} (little-endian hex), not 32 (20000000)")
    endif()
endfunction()

tolbex_check_server(TOLBEX_UPDATE_SERVER_1)
tolbex_check_server(TOLBEX_UPDATE_SERVER_2)
tolbex_check_key(TOLBEX_MANIFEST_KEY_1)
tolbex_check_key(TOLBEX_MANIFEST_KEY_2)
string(TOLOWER "${TOLBEX_MANIFEST_KEY_1}" TOLBEX_MANIFEST_KEY_1_LOWER)
string(TOLOWER "${TOLBEX_MANIFEST_KEY_2}" TOLBEX_MANIFEST_KEY_2_LOWER)

string(TOLOWER "${TOLBEX_MANIFEST_KEY_1}${TOLBEX_MANIFEST_KEY_2}" _keys)
if(_keys MATCHES "${TOLBEX_DEMO_KEY_1}" OR _keys MATCHES "${TOLBEX_DEMO_KEY_2}")
    message(WARNING "This build trusts the DEMO manifest keys from demo/keys, whose private halves "
                    "are public. It is fit for the demo and the tests only, never for players.")
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/deployment_data.h.in
               ${CMAKE_BINARY_DIR}/generated/deployment_data.h @ONLY)

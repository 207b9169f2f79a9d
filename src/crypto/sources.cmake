# Hex text and the signature file's text are platform-free; SHA-256, file hashing and the
# signature check use CNG.
add_library(tolbex_crypto STATIC
    ${CMAKE_CURRENT_LIST_DIR}/hex.cpp
    ${CMAKE_CURRENT_LIST_DIR}/signature_text.cpp)
target_link_libraries(tolbex_crypto PUBLIC tolbex_common)

if(WIN32)
    target_sources(tolbex_crypto PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/sha256.cpp
        ${CMAKE_CURRENT_LIST_DIR}/manifest_signature.cpp)
    target_link_libraries(tolbex_crypto PUBLIC ${TOLBEX_WIN_LIBS})
endif()

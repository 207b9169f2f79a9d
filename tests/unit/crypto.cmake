# Hex (pure, both presets) and SHA-256 with file hashing (CNG, under Wine).
tolbex_test(crypto_hex_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/crypto_hex_test.cpp LIBS tolbex_crypto)
tolbex_test(crypto_sha256_test WINDOWS SOURCES ${CMAKE_CURRENT_LIST_DIR}/crypto_sha256_test.cpp
    LIBS tolbex_crypto)

# The manifest signature under Wine (signature_probe is a fixture), with
# signatures made by tolbex-publish, built for the host by tools/tolbex-publish, from the
# demo keys this test build trusts.
tolbex_e2e(signature_verify_test signature_verify_test.py TIMEOUT 600)

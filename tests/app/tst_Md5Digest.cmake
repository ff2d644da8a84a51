# Which implementation the digest must use; and the same cases once more with
# libcrypto configured to refuse MD5 (approved algorithms only), where the
# digest falls back to Qt's and must stay right.
if(UA_USE_LIBCRYPTO AND OPENSSL_FOUND)
    set_property(TEST tst_Md5Digest APPEND PROPERTY ENVIRONMENT "UA_EXPECT_MD5=libcrypto")
    set(md5_refused_conf ${CMAKE_CURRENT_BINARY_DIR}/md5-refused.cnf)
    file(WRITE ${md5_refused_conf}
        "openssl_conf = init\n[init]\nalg_section = algorithms\n"
        "[algorithms]\ndefault_properties = fips=yes\n")
    add_test(NAME tst_Md5Digest_refused COMMAND tst_Md5Digest
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    set_tests_properties(tst_Md5Digest_refused PROPERTIES
        ENVIRONMENT "${UA_TEST_ENV};OPENSSL_CONF=${md5_refused_conf};UA_EXPECT_MD5=Qt"
        TIMEOUT ${UA_TEST_TIMEOUT})
else()
    set_property(TEST tst_Md5Digest APPEND PROPERTY ENVIRONMENT "UA_EXPECT_MD5=Qt")
endif()

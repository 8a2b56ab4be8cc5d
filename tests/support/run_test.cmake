# Starts one test executable in a fresh private home: the folder is emptied first so that a
# test never sees what an earlier run left behind.
file(REMOVE_RECURSE ${test_home})
file(MAKE_DIRECTORY ${test_home}/.config ${test_home}/runtime ${test_home}/Music)
# No test reaches the internet: the disc lookup stays off unless a test turns it on against a
# server of its own. Values are in the store's typed form ("b:", "s:"), or it sets the file aside.
file(WRITE ${test_home}/.config/Orvik/Orvik.conf
     "[General]\nLook%20Up%20Discs%20Online=b:false\nMusicBrainz%20Server=s:http://127.0.0.1:9\nCover%20Art%20Server=s:http://127.0.0.1:9\nAccurateRip%20Server=s:http://127.0.0.1:9\n")
file(CHMOD ${test_home}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
execute_process(COMMAND ${program} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${program} exited with ${result}")
endif()

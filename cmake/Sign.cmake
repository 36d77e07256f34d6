# cmake -DOSSLSIGNCODE=... -DOPTIONS=... -DFILE=... -P Sign.cmake
# Signs FILE in place. The signing time is SOURCE_DATE_EPOCH when set, so
# that two builds of one commit sign alike (an RSA key signs deterministically).
set(time "")
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(time -time $ENV{SOURCE_DATE_EPOCH})
elseif(EPOCH)
  set(time -time ${EPOCH})
endif()
execute_process(COMMAND ${OSSLSIGNCODE} sign ${OPTIONS} ${time} -in ${FILE} -out ${FILE}.signed
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  file(REMOVE ${FILE}.signed)
  message(FATAL_ERROR "osslsigncode could not sign ${FILE}: ${out}")
endif()
file(RENAME ${FILE}.signed ${FILE})
# osslsigncode writes a plain file: the program stays a program.
file(CHMOD ${FILE} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

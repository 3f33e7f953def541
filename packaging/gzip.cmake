# cmake -DGZIP=gzip -DSOURCE=in -DOUTPUT=out.gz -P gzip.cmake
# Compresses SOURCE into OUTPUT with gzip -9n: best compression, and neither
# the file's name nor its time in the header, so the same text always gives
# the same bytes.
execute_process(COMMAND ${GZIP} -9n -c ${SOURCE} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE ${OUTPUT})
    message(FATAL_ERROR "gzip ${SOURCE}: ${status}")
endif()

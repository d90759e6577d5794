// Reads the case's map file: "DIMENSIONS:" first, "PARAMETERS:" second,
// then any sections in any order until "ENDCASE". A page of a
// hierarchical case is a "MAP:" line naming the page's file, followed by
// the page's node map; the page file holds the page's sections and ends
// with "ENDPAGE".
#pragma once

void READDATA();
// The "ENDPAGE:" key met by the section loop.
void ENDPAGE();
// End of the map file: the last checks, then the map file is closed.
void ENDCASE();

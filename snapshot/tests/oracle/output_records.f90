! Oracle for the value records of the output-channel files: what gfortran's
! own WRITE gives, kept in output_records.txt for
! snapshot/tests/output_files_test.cpp.
!
! Regenerate (GNU Fortran 12.2):
!   gfortran -o /tmp/output_records snapshot/tests/oracle/output_records.f90
!   /tmp/output_records > snapshot/tests/oracle/output_records.txt
! Each case is a "@@ name" line followed by the records of one WRITE.
program output_records
  implicit none
  character(len=*), parameter :: rec = '(G23.14, 10(1X, G23.14))'
  real(8) :: delt, big, v(15)
  integer :: k

  delt = 50d-6
  big = 9.9999999999999d+98

  ! The times of a run at 50 us printed every 1 ms.
  do k = 0, 200, 20
    print '(A, I0)', '@@ time ', k
    write (*, rec) delt * k
  end do

  ! What the files hold for 1e-120, 1e150, -0.0, NaN and -Inf.
  print '(A)', '@@ clamped'
  write (*, rec) 0d0, 0d0, big, 0d0, -big, -big

  ! A full file of mixed magnitudes, and the last file of a long list,
  ! whose record goes on in a second line.
  do k = 1, 15
    v(k) = (k - 7.5d0) * 10d0 ** (mod(k, 7) * 3 - 9)
  end do
  print '(A)', '@@ full'
  write (*, rec) 1.25d-2, v(1:10)
  print '(A)', '@@ wrapped'
  write (*, rec) 1.25d-2, v
end program output_records
